// Deterministic jobs for the benchmarks and the fuzz seed corpus.
#pragma once

#include <cstdint>
#include <vector>

#include "pcl/raster_compression.h"
#include "platform/portable/simulated_printer.h"

namespace zelmo::bench {

// A 600-dpi letter sheet with 1/6-inch margins: the printer every benchmark prints on.
SimulatedPrinterConfig benchPrinter();

struct RasterJobShape {
    int pages = 50;
    int rows = 5000;     // rows per page
    int rowBytes = 600;  // data bytes per row before compression
    int dpi = 600;
    int x = 0;  // ESC*p#X at the top of each page; not a multiple of 8 is unaligned
    RasterCompression method = kUnencoded;  // how the rows are written
};

struct TextJobShape {
    int pages = 500;
    int lines = 60;
    int columns = 80;  // printable characters per line, no spaces
    int glyphs = 100;  // downloaded under the codes 0x21 onwards
    int glyphWidth = 24;
    int glyphHeight = 40;
    // Glyphs of solid strokes, as a real font draws, instead of a frame filled with noise.
    bool strokes = false;
};

std::vector<uint8_t> rasterJob(const RasterJobShape& shape);
std::vector<uint8_t> textJob(const TextJobShape& shape);
// Glyphs a text job draws: every character of every line has a glyph.
int64_t textJobGlyphs(const TextJobShape& shape);

}  // namespace zelmo::bench
