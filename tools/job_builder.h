// Builds PCL job streams for tests, benchmarks, fuzz seeds and the sample job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelmo {

class JobBuilder {
  public:
    // ESC followed by the given text, e.g. esc("*t300R").
    JobBuilder& esc(const std::string& sequence) {
        bytes_.push_back(0x1B);
        return text(sequence);
    }
    JobBuilder& text(const std::string& t) {
        bytes_.insert(bytes_.end(), t.begin(), t.end());
        return *this;
    }
    JobBuilder& bytes(const std::vector<uint8_t>& b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    JobBuilder& byte(uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    JobBuilder& formFeed() { return byte(0x0C); }
    JobBuilder& lineFeed() { return byte(0x0A); }
    JobBuilder& carriageReturn() { return byte(0x0D); }

    // ESC*b#W with the row's data bytes (1 = ink).
    JobBuilder& rasterRow(const std::vector<uint8_t>& data) {
        esc("*b" + std::to_string(data.size()) + "W");
        return bytes(data);
    }
    // ESC)s#W: a 64-byte bitmap font descriptor with the baseline and cell width.
    JobBuilder& fontHeader(int16_t baseline, int16_t cellWidth, int16_t cellHeight = 50) {
        std::vector<uint8_t> block(64, 0);
        block[1] = 64;  // descriptor size
        put16(block, 6, baseline);
        put16(block, 8, cellWidth);
        put16(block, 10, cellHeight);
        esc(")s" + std::to_string(block.size()) + "W");
        return bytes(block);
    }
    // ESC*c#E then ESC(s#W: one glyph, rows of (width + 7) / 8 bytes, 1 = ink.
    JobBuilder& glyph(int code, int16_t left, int16_t top, int16_t width, int16_t height,
                      const std::vector<uint8_t>& rows) {
        esc("*c" + std::to_string(code) + "E");
        std::vector<uint8_t> block(16, 0);
        block[0] = 4;   // format: LaserJet
        block[2] = 14;  // descriptor size
        block[3] = 1;   // class: bitmap
        put16(block, 6, left);
        put16(block, 8, top);
        put16(block, 10, width);
        put16(block, 12, height);
        put16(block, 14, static_cast<int16_t>(width * 4));
        block.insert(block.end(), rows.begin(), rows.end());
        esc("(s" + std::to_string(block.size()) + "W");
        return bytes(block);
    }

    const std::vector<uint8_t>& data() const { return bytes_; }
    std::string str() const { return std::string(bytes_.begin(), bytes_.end()); }

  private:
    static void put16(std::vector<uint8_t>& b, size_t at, int16_t v) {
        b[at] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
        b[at + 1] = static_cast<uint8_t>(v & 0xFF);
    }
    std::vector<uint8_t> bytes_;
};

// What a job sends right after its printer reset: the accounting program opens with any of these.
enum class Opening {
    Raster,     // the raster page's resolution
    Copies,     // ESC&l#X (one copy unless more are asked for)
    FontId,     // ESC*c#D, a font ID that the interpreter skips
    PageSetup,  // page size, orientation and top margin, all skipped
};

// The opening named as on zelmo-sample's command line; false for an unknown name.
bool parseOpening(const std::string& name, Opening& opening);

// A two-page job: a raster page (frame, checkerboard, diagonal, run-length stripes, a row at a
// bit offset), then a text page in a downloaded soft font. With copies > 0 it holds a copies
// command, after the opening (after the raster page's resolution for the raster opening).
// Deterministic; used by the sample tool, the tests and the fuzz seeds.
std::vector<uint8_t> sampleJob(int copies, Opening opening);
// The same, opening with the copies command when there is one, else with the raster page.
std::vector<uint8_t> sampleJob(int copies = 0);

}  // namespace zelmo
