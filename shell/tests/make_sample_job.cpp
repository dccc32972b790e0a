// Writes a sample PCL job for the end-to-end tests: a raster page with rows sent as they are and
// run-length encoded, then a text page in a downloaded bitmap font.
//
//   zelmo-sample-job [--copies N] OUT.prn
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kScale = 5;  // 5 x 7 cell patterns drawn at 25 x 35 pixels
constexpr int kGlyphWidth = 5 * kScale;
constexpr int kGlyphHeight = 7 * kScale;

// 5 x 7 patterns, one string of 35 cells per character ('#' is ink).
struct Pattern {
    char code;
    const char* cells;
};
constexpr Pattern kPatterns[] = {
    {'Z', "#####....#...#...#...#...#....#####"}, {'E', "######....####.#....#....#....#####"},
    {'L', "#....#....#....#....#....#....#####"}, {'M', "#...###.###.#.##...##...##...##...#"},
    {'O', ".###.#...##...##...##...##...#.###."}, {'2', ".###.#...#....#...#...#...#...#####"},
    {'6', "..##..#...#....####.#...##...#.###."}, {'0', ".###.#...##..###.#.###..##...#.###."},
};

// Appends a big-endian 16-bit value.
void put16(std::string& out, int value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// ESC followed by the text.
std::string esc(const std::string& text) {
    return "\x1b" + text;
}

// The font header: baseline 40 and cell width 30 at offsets 6 and 8 of a 64-byte block.
std::string fontHeader() {
    std::string block(6, '\0');
    put16(block, 40);
    put16(block, 30);
    block.resize(64, '\0');
    return esc(")s" + std::to_string(block.size()) + "W") + block;
}

// A character download of one pattern, ink bits 1, rows of whole bytes.
std::string glyph(const Pattern& pattern) {
    std::string block(6, '\0');
    put16(block, 0);             // left offset
    put16(block, kGlyphHeight);  // top offset: the glyph sits on the baseline
    put16(block, kGlyphWidth);
    put16(block, kGlyphHeight);
    put16(block, 30);
    const int rowBytes = (kGlyphWidth + 7) / 8;
    for (int y = 0; y < kGlyphHeight; ++y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < kGlyphWidth; ++x)
            if (pattern.cells[(y / kScale) * 5 + x / kScale] == '#') row[x / 8] |= 0x80 >> (x % 8);
        block.append(row.begin(), row.end());
    }
    return esc("*c" + std::to_string(static_cast<int>(pattern.code)) + "E") +
           esc("(s" + std::to_string(block.size()) + "W") + block;
}

// The text page: the font, then lines of text at cursor positions and line feeds.
std::string textPage() {
    std::string job = fontHeader();
    for (const Pattern& p : kPatterns)
        job += glyph(p);
    job += esc("*p150x120Y") + "ZELMO 2026\r\n";
    job += "MOZELL OLE\r\n\n";
    job += esc("*p1203x1501Y") + "ZOE 620\r\n";
    job += esc("*p2200x2900Y") + "OLEZ";
    return job + "\f";
}

// One raster row sent as it is.
std::string rawRow(const std::vector<uint8_t>& row) {
    return esc("*b" + std::to_string(row.size()) + "W") + std::string(row.begin(), row.end());
}

// One raster row run-length encoded in pairs of (repeat - 1, byte).
std::string rleRow(const std::vector<uint8_t>& row) {
    std::string data;
    for (size_t i = 0; i < row.size();) {
        size_t run = 1;
        while (i + run < row.size() && row[i + run] == row[i] && run < 256)
            ++run;
        data += static_cast<char>(run - 1);
        data += static_cast<char>(row[i]);
        i += run;
    }
    return esc("*b" + std::to_string(data.size()) + "W") + data;
}

// The raster page at 300 dpi: a frame, stripes, a checkerboard and a diagonal, so that a
// mirrored or shifted page cannot pass for the right one.
std::string rasterPage() {
    constexpr int kWidthBytes = 300;  // 2400 pixels
    std::string job = esc("E") + esc("*t300R") + esc("*b0M");
    std::vector<uint8_t> row(kWidthBytes);
    for (int y = 0; y < 600; ++y) {
        for (int i = 0; i < kWidthBytes; ++i) {
            const bool frame = y < 4 || y >= 596 || i == 0 || i == kWidthBytes - 1;
            const bool checker = ((y / 16) + (i / 2)) % 2 == 0 && i > 100 && i < 200;
            row[i] = frame ? 0xFF : checker ? 0xFF : 0x00;
        }
        row[y / 8 % kWidthBytes] |= static_cast<uint8_t>(0x80 >> (y % 8));
        job += rawRow(row);
    }
    job += esc("*b1M") + esc("*p0x2000Y");
    for (int y = 0; y < 200; ++y) {
        for (int i = 0; i < kWidthBytes; ++i)
            row[i] = (i / 10 + y / 25) % 2 ? 0xF0 : 0x00;
        job += rleRow(row);
    }
    // A short row at a bit offset near the right edge.
    job += esc("*p2390x3000Y") + esc("*b0M") + rawRow({0xFF, 0xAA, 0xFF});
    return job + "\f";
}

}  // namespace

int main(int argc, char** argv) {
    std::string copies;
    if (argc == 4 && std::string(argv[1]) == "--copies") copies = argv[2];
    if (argc != 2 && copies.empty()) {
        std::cerr << "usage: zelmo-sample-job [--copies N] OUT.prn\n";
        return 2;
    }
    std::ofstream out(argv[argc - 1], std::ios::binary);
    if (!copies.empty()) out << esc("&l" + copies + "X");
    // The raster page first: under the DIB engines a text page would block it.
    out << rasterPage() << textPage();
    return out.good() ? 0 : 1;
}
