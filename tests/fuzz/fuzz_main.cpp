// The libFuzzer entry of one target, named at build time.
#include "fuzz_targets.h"

#include <cstdlib>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const plover_fuzz::target_t* target = plover_fuzz::find_target(PLOVER_FUZZ_TARGET);
    const plover_fuzz::outcome_t o = plover_fuzz::run(*target, data, size);
    if ((!o.loaded || !o.saved) && o.message.empty()) {
        std::fprintf(stderr, "a failure without a message\n");
        std::abort();
    }
    return 0;
}
