// libFuzzer target: the raster row and soft-font decoders without the byte loop around them.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (zelmo::fuzz::runDecoderInput(data, size).liveObjectsLeft != 0) std::abort();
    return 0;
}
