// The benchmark jobs: raster pages that look like a scanned form, and pages of soft-font text.
#include "bench/bench_jobs.h"

#include <algorithm>
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

namespace {

// Method 2 of a row: literal runs and repeats of at most 128 bytes.
std::vector<uint8_t> packBits(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> out;
    std::size_t i = 0;
    while (i < row.size()) {
        std::size_t run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        std::size_t literal = 0;
        while (i + literal < row.size() && literal < 128 &&
               !(i + literal + 2 < row.size() && row[i + literal] == row[i + literal + 1] &&
                 row[i + literal] == row[i + literal + 2]))
            ++literal;
        out.push_back(static_cast<uint8_t>(literal - 1));
        out.insert(out.end(), row.begin() + long(i), row.begin() + long(i + literal));
        i += literal;
    }
    return out;
}

// Method 3 of a row against the one before: the changed bytes, 8 at most per command.
std::vector<uint8_t> deltaRow(const std::vector<uint8_t>& row, const std::vector<uint8_t>& seed) {
    std::vector<uint8_t> out;
    std::size_t last = 0, i = 0;
    while (i < row.size()) {
        if (row[i] == seed[i]) {
            ++i;
            continue;
        }
        std::size_t n = 1;
        while (i + n < row.size() && n < 8 && row[i + n] != seed[i + n])
            ++n;
        std::size_t offset = i - last;
        out.push_back(static_cast<uint8_t>((n - 1) << 5 | std::min<std::size_t>(offset, 31)));
        if (offset >= 31) {
            for (offset -= 31; offset >= 255; offset -= 255)
                out.push_back(255);
            out.push_back(static_cast<uint8_t>(offset));
        }
        out.insert(out.end(), row.begin() + long(i), row.begin() + long(i + n));
        i += n;
        last = i;
    }
    return out;
}

}  // namespace

std::vector<uint8_t> pcl5RasterJob(int pages, int rows, int rowBytes, int method) {
    Lcg rng(7);
    JobBuilder b;
    b.esc("E").esc("*t300R").esc("*r" + std::to_string(rowBytes * 8) + "S");
    std::vector<uint8_t> seed(static_cast<size_t>(rowBytes), 0), data;
    for (int page = 0; page < pages; ++page) {
        b.esc("*p0x0Y").esc("*r1A").esc("*b" + std::to_string(method) + "M");
        std::fill(seed.begin(), seed.end(), 0);
        std::vector<uint8_t> row = formRow(rng, rowBytes);
        for (int r = 0; r < rows; ++r) {
            // Forms repeat a row for a while: what the delta method is made for.
            if (r % 8 == 0) row = formRow(rng, rowBytes);
            data = method == 2 ? packBits(row) : method == 3 ? deltaRow(row, seed) : row;
            b.esc("*b" + std::to_string(data.size()) + "W").bytes(data);
            seed = row;
        }
        b.esc("*rB").formFeed();
    }
    return b.data();
}

std::vector<uint8_t> lettersJob(int pages, int lines, int columns, bool pcl5) {
    JobBuilder b;
    if (pcl5) b.esc("E").esc("&l8D").esc("(s0p16.67h8.5v0s0b0T");
    Lcg rng(11);
    std::string line;
    for (int page = 0; page < pages; ++page) {
        for (int l = 0; l < lines; ++l) {
            line.clear();
            for (int c = 0; c < columns; ++c)
                line.push_back(static_cast<char>('A' + rng.below(26)));
            b.text(line).carriageReturn().lineFeed();
        }
        b.formFeed();
    }
    return b.data();
}

}  // namespace zelmo::bench
