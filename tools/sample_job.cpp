// The sample job: block letters from a downloaded soft font, and a raster band.
#include <map>

#include "tools/job_builder.h"

namespace zelmo {
namespace {

// 5 x 7 letter shapes, one string per row, '#' = ink.
const std::map<char, const char*> kShapes = {
    {'A', " ### #   ##   #######   ##   ##   #"}, {'E', "######    #### #    #    #    #####"},
    {'F', "######    #### #    #    #    #    "}, {'K', "#   ##  # # #  ##   # #  #  # #   #"},
    {'L', "#    #    #    #    #    #    #####"}, {'M', "#   ### ### # ##   ##   ##   ##   #"},
    {'O', " ### #   ##   ##   ##   ##   # ### "}, {'R', "#### #   ##   ##### # #  #  # #   #"},
    {'T', "#####  #    #    #    #    #    #  "}, {'U', "#   ##   ##   ##   ##   ##   # ### "},
    {'Z', "#####    #   #   #   #   #    #####"}, {'0', " ### #   ##  ### # ###  ##   # ### "},
    {'1', "  #   ##    #    #    #    #   ### "}, {'2', " ### #   #    #  ##  #   #    #####"},
    {'3', " ### #   #    #  ##     ##   # ### "}, {'6', " ### #    #    #### #   ##   # ### "},
};

constexpr int kScale = 4;  // each shape pixel is 4 x 4 dots at 300 dpi

// The glyph rows of a shape scaled up, 1 = ink.
std::vector<uint8_t> glyphRows(const char* shape, int width, int height) {
    int rowBytes = (width + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sx = x / kScale, sy = y / kScale;
            if (sx < 5 && sy < 7 && shape[sy * 5 + sx] == '#')
                rows[static_cast<size_t>(y * rowBytes + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
        }
    return rows;
}

}  // namespace

std::vector<uint8_t> sampleJob() {
    const int width = 5 * kScale, height = 7 * kScale;
    JobBuilder job;
    job.esc("E").esc("&l1X").fontHeader(40, 30);
    for (const auto& [code, shape] : kShapes)
        job.glyph(static_cast<unsigned char>(code), 0, height, width, height,
                  glyphRows(shape, width, height));
    job.esc("&l8.0C").esc("*p300x300Y");
    job.text("ZELMO 2026").carriageReturn().lineFeed();
    job.esc("*p300X").text("FAKTURA 123").carriageReturn().lineFeed().formFeed();

    // Page two: a raster band of stripes and a checker, 300 dpi, method 0 and method 1.
    job.esc("*t300R").esc("*b0M").esc("*p150x600Y");
    for (int row = 0; row < 120; ++row) {
        std::vector<uint8_t> data(60);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = (row / 10 + static_cast<int>(i) / 4) % 2 ? 0xFF : 0x00;
        job.rasterRow(data);
    }
    job.esc("*b1M");
    for (int row = 0; row < 40; ++row)
        job.rasterRow({59, static_cast<uint8_t>(row % 8 < 4 ? 0xF0 : 0x0F)});
    return job.formFeed().data();
}

}  // namespace zelmo
