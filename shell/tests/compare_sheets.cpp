// Compares a page rasterised by Ghostscript (binary PGM, 0 = black) with a sheet of the
// simulated printer (binary PBM, 1 = black), pixel for pixel.
//
//   zelmo-compare-sheets PAGE.pgm SHEET.pbm
//
// A PDF page size is held in whole points, so the rasterised page may be a pixel or two larger
// or smaller than the sheet; where only one of them has pixels, those must be white.
#include <algorithm>
#include <iostream>

#include "shell/tests/pnm.h"

using zelmo::testing::Image;
using zelmo::testing::readPnm;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zelmo-compare-sheets PAGE.pgm SHEET.pbm\n";
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
