// libFuzzer target: the PCL 5 raster decoder (methods 0, 1, 2, 3 and 5) without the interpreter.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    zelmo::fuzz::runPcl5RasterInput(data, size);
    return 0;
}
