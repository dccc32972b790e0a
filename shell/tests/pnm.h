// Reading the bilevel and grey PNM files that Ghostscript and zelmo-render write.
#pragma once

#include <cctype>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace zelmo::testing {

// A bilevel image, one byte per pixel, 1 = black; pixels outside it read as white.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> black;
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height &&
               black[static_cast<size_t>(y) * width + x];
    }
};

// Reads the next header number of a PNM file, skipping blanks and comments.
inline int headerNumber(std::istream& in) {
    int c = in.get();
    while (c == '#' || std::isspace(c)) {
        if (c == '#')
            while (c != '\n' && c != EOF)
                c = in.get();
        c = in.get();
    }
    int value = 0;
    for (; c >= '0' && c <= '9'; c = in.get())
        value = value * 10 + (c - '0');
    return value;
}

// Reads a P5 (grey, dark below half) or P4 (bits, 1 = black) file; false when it is neither.
inline bool readPnm(const std::string& path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic(2, '\0');
    if (!in.read(magic.data(), 2) || (magic != "P4" && magic != "P5")) return false;
    image.width = headerNumber(in);
    image.height = headerNumber(in);
    const int maxValue = magic == "P5" ? headerNumber(in) : 1;
    if (image.width <= 0 || image.height <= 0 || maxValue <= 0 || maxValue > 255) return false;
    image.black.assign(static_cast<size_t>(image.width) * image.height, 0);
    const size_t rowBytes = magic == "P4" ? (image.width + 7) / 8 : image.width;
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < image.height; ++y) {
        if (!in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(rowBytes)))
            return false;
        for (int x = 0; x < image.width; ++x) {
            const bool black =
                magic == "P4" ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x] * 2 < maxValue;
            image.black[static_cast<size_t>(y) * image.width + x] = black;
        }
    }
    return true;
}

}  // namespace zelmo::testing
