// The benchmark jobs: raster pages that look like a scanned form, and pages of soft-font text.
#include "bench/bench_jobs.h"

#include <string>

#include "tools/job_builder.h"

namespace zelmo::bench {
namespace {

// A small linear congruential generator: the same jobs on every machine and compiler.
class Lcg {
  public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }

  private:
    uint32_t state_;
};

// One row of raster data (1 = ink): white gaps between bands of solid ink and of halftone.
std::vector<uint8_t> formRow(Lcg& rng, int rowBytes) {
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
    int i = rng.below(40);
    while (i < rowBytes) {
        int band = 1 + rng.below(24);
        bool solid = rng.below(3) == 0;
        for (int j = i; j < i + band && j < rowBytes; ++j)
            row[static_cast<size_t>(j)] = solid ? 0xFF : static_cast<uint8_t>(rng.next());
        i += band + rng.below(60);
    }
    return row;
}

// Method 1 of the same row: pairs of (repeat count - 1, byte), runs of at most 256.
std::vector<uint8_t> runLengthPairs(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < row.size();) {
        size_t run = 1;
        while (i + run < row.size() && run < 256 && row[i + run] == row[i])
            ++run;
        out.push_back(static_cast<uint8_t>(run - 1));
        out.push_back(row[i]);
        i += run;
    }
    return out;
}

// The shape of glyph g, rows of (width + 7) / 8 bytes: a frame with a pseudo-random filling,
// or with strokes a stem and a bar 3 pixels thick at places of its own.
std::vector<uint8_t> glyphRows(Lcg& rng, int width, int height, bool strokes) {
    int rowBytes = (width + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes) * height, 0);
    const int stem = strokes ? 2 + rng.below(width - 6) : 0;
    const int bar = strokes ? 4 + rng.below(height - 10) : 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool ink = strokes ? (x >= stem && x < stem + 3 && y >= 4 && y < height - 4) ||
                                     (y >= bar && y < bar + 3 && x >= 2 && x < width - 2)
                               : x == 0 || y == 0 || x == width - 1 || y == height - 1 ||
                                     rng.below(3) == 0;
            if (ink)
                rows[static_cast<size_t>(y * rowBytes + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
        }
    return rows;
}

}  // namespace

SimulatedPrinterConfig benchPrinter() {
    SimulatedPrinterConfig c;
    c.width = 5100;
    c.height = 6600;
    c.dpi = 600;
    c.left = c.top = c.right = c.bottom = 100;
    c.name = "Zelmo Benchmark Printer";
    return c;
}

std::vector<uint8_t> rasterJob(const RasterJobShape& shape) {
    Lcg rng(0x5EED);
    JobBuilder job;
    job.esc("E").esc("*t" + std::to_string(shape.dpi) + "R");
    job.esc("*b" + std::to_string(shape.method) + "M");
    for (int page = 0; page < shape.pages; ++page) {
        job.esc("*p" + std::to_string(shape.x) + "x0Y");
        for (int r = 0; r < shape.rows; ++r) {
            std::vector<uint8_t> row = formRow(rng, shape.rowBytes);
            job.rasterRow(shape.method == kRunLength ? runLengthPairs(row) : row);
        }
        job.formFeed();
    }
    return job.data();
}

std::vector<uint8_t> textJob(const TextJobShape& shape) {
    Lcg rng(0xF0A7);
    JobBuilder job;
    auto width = static_cast<int16_t>(shape.glyphWidth);
    auto height = static_cast<int16_t>(shape.glyphHeight);
    job.esc("E").fontHeader(static_cast<int16_t>(height - 4), static_cast<int16_t>(width + 6));
    for (int g = 0; g < shape.glyphs; ++g)
        job.glyph(0x21 + g, 0, static_cast<int16_t>(height - 4), width, height,
                  glyphRows(rng, shape.glyphWidth, shape.glyphHeight, shape.strokes));
    std::string line(static_cast<size_t>(shape.columns), ' ');
    for (int page = 0; page < shape.pages; ++page) {
        for (int l = 0; l < shape.lines; ++l) {
            for (char& c : line)
                c = static_cast<char>(0x21 + rng.below(shape.glyphs));
            job.text(line).carriageReturn().lineFeed();
        }
        job.formFeed();
    }
    return job.data();
}

int64_t textJobGlyphs(const TextJobShape& shape) {
    return int64_t{shape.pages} * shape.lines * shape.columns;
}

}  // namespace zelmo::bench
