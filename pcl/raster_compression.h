// The raster compression methods of ESC*b#M, by the numbers jobs send. A method outside this
// list transfers no pixels (its rows still advance). The fuzzer's inputs and seeds take their
// range from here, so a method added here is fuzzed as well.
#pragma once

#include <cstdint>

namespace zelmo {

enum RasterCompression : int16_t {
    kUnencoded = 0,  // the row's bytes as they are
    kRunLength = 1,  // pairs of a repeat count less one and a byte
};
constexpr int kRasterCompressionCount = 2;

}  // namespace zelmo
