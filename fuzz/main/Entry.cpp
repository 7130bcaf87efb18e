// The libFuzzer entry point of one target; CMake names the target function.

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    return GABBLER_FUZZ_TARGET(data, size);
}
