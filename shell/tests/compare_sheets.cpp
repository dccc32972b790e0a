// Compares a page rasterised by Ghostscript (binary PGM, 0 = black) with a sheet of the
// simulated printer (binary PBM, 1 = black), pixel for pixel.
//
//   zelmo-compare-sheets [--near N] PAGE.pgm SHEET.pbm
//
// A PDF page size is held in whole points, so the rasterised page may be a pixel or two larger
// or smaller than the sheet; where only one of them has pixels, those must be white.
// --near N is for text in a real font, which each rasteriser hints its own way: every black
// pixel of either image must have a black one of the other within N pixels, so the same marks
// lie at the same places, the glyphs' outlines aside.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "shell/tests/pnm.h"

using zelmo::testing::Image;
using zelmo::testing::readPnm;

namespace {

// Whether image has a black pixel within near pixels of (x, y).
bool blackNear(const Image& image, int x, int y, int near) {
    for (int dy = -near; dy <= near; ++dy)
        for (int dx = -near; dx <= near; ++dx)
            if (image.at(x + dx, y + dy)) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int near = 0;
    if (argc == 5 && std::strcmp(argv[1], "--near") == 0) {
        near = std::max(0, std::stoi(argv[2]));
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::cerr << "usage: zelmo-compare-sheets [--near N] PAGE.pgm SHEET.pbm\n";
        return 2;
    }
    Image page, sheet;
    if (!readPnm(argv[1], page) || !readPnm(argv[2], sheet)) {
        std::cerr << "cannot read " << argv[1] << " or " << argv[2] << "\n";
        return 2;
    }
    const int width = std::max(page.width, sheet.width);
    const int height = std::max(page.height, sheet.height);
    long differences = 0, black = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            black += sheet.at(x, y);
            if (page.at(x, y) == sheet.at(x, y)) continue;
            if (near > 0 && (page.at(x, y) ? blackNear(sheet, x, y, near)
                                           : blackNear(page, x, y, near)))
                continue;
            if (++differences <= 10)
                std::cerr << "  (" << x << ", " << y << "): page " << page.at(x, y) << ", sheet "
                          << sheet.at(x, y) << "\n";
        }
    }
    std::cout << argv[1] << " " << page.width << "x" << page.height << " vs " << argv[2] << " "
              << sheet.width << "x" << sheet.height << ": " << black << " black pixels, "
              << differences << " differ\n";
    return differences == 0 ? 0 : 1;
}
