// Replays every input the fuzz targets ever found a fault with (tests/fuzz/regressions/<target>/)
// and the seed corpus (tests/fuzz/corpus/<target>/) through the same entry functions, so a fault
// that was mended stays mended without running the fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_targets.hpp"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzInputs : public testing::TestWithParam<lf::fuzz::Target> {};

TEST_P(FuzzInputs, EveryKeptInputIsReadWithoutFault) {
    const lf::fuzz::Target target = GetParam();
    int replayed = 0;
    for (const char* kind : {"regressions", "corpus"}) {
        const fs::path folder = fs::path(LF_TEST_SOURCE_DIR) / "fuzz" / kind / std::string(target.name);
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            SCOPED_TRACE(entry.path().string());
            const std::vector<uint8_t> bytes = readBytes(entry.path());
            target.entry({bytes.data(), bytes.size()});
            ++replayed;
        }
    }
    // Every target has seeds, so an empty replay means the folders were moved or misnamed.
    EXPECT_GT(replayed, 0) << "no kept inputs for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputs, testing::ValuesIn(lf::fuzz::targets().begin(), lf::fuzz::targets().end()),
                         [](const testing::TestParamInfo<lf::fuzz::Target>& info) { return std::string(info.param.name); });

}  // namespace
