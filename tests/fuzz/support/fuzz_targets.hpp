#pragma once
// The entry functions of the fuzz targets: each feeds one input to one reader of outside bytes and
// checks what must hold for any input. scripts/fuzz.sh builds one libFuzzer program per entry, and
// the regression test replays every kept input through the same entry in the normal test run.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lf::fuzz {

using Entry = void (*)(std::span<const uint8_t> input);

struct Target {
    std::string_view name;  // also the folder name under tests/fuzz/corpus and tests/fuzz/regressions
    Entry entry;
};

std::span<const Target> targets();

// The entry of the named target; nullptr for an unknown name.
Entry entryNamed(std::string_view name);

}  // namespace lf::fuzz
