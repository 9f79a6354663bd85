// One libFuzzer target: VSR_EXERCISE names the harness function it feeds.
#include "Harness.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef VSR_SNDKIT_PATH
    vsr::fuzz::SetSndKitPath(VSR_SNDKIT_PATH);
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vsr::fuzz::VSR_EXERCISE({data, size});
    return 0;
}
