// Deterministic jobs for the benchmarks and the fuzz seed corpus.
#pragma once

#include <cstdint>
#include <vector>

#include "pcl/raster_compression.h"
#include "printers/simulated/simulated_printer.h"

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
// The same form rows as a PCL 5 driver sends them: 300 dpi, a raster width, method 0, 2
// (PackBits) or 3 (delta row).
std::vector<uint8_t> pcl5RasterJob(int pages, int rows, int rowBytes, int method);
// Pages of lines of letters, bare (pcl5 false) or in a PCL 5 font at 16.67 cpi and 8 lpi.
std::vector<uint8_t> lettersJob(int pages, int lines, int columns, bool pcl5);
std::vector<uint8_t> textJob(const TextJobShape& shape);
// Glyphs a text job draws: every character of every line has a glyph.
int64_t textJobGlyphs(const TextJobShape& shape);

}  // namespace zelmo::bench
