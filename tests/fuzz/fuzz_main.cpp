// One libFuzzer program: LF_FUZZ_TARGET names the entry it runs (built by scripts/fuzz.sh).
#include <cstdlib>

#include "fuzz/support/fuzz_targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const lf::fuzz::Entry entry = [] {
        auto found = lf::fuzz::entryNamed(LF_FUZZ_TARGET);
        if (!found) std::abort();
        return found;
    }();
    entry({data, size});
    return 0;
}
