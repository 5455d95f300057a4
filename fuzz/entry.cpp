// libFuzzer's entry for one target, chosen at build time (VEXMONT_FUZZ_TARGET).
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VEXMONT_FUZZ_TARGET(FuzzInput(data, size));
    return 0;
}
