// The sample job: a raster page that no mirrored or shifted page could pass for, then a text
// page in a downloaded soft font. Used by `./build.sh run`, the tests and the fuzz seeds.
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
    {'3', " ### #   #    #  ##     ##   # ### "}, {'6', "  ##  #   #    #### #   ##   # ### "},
};

constexpr int kScale = 5;  // each shape pixel is 5 x 5 dots at 300 dpi
constexpr int kGlyphWidth = 5 * kScale;
constexpr int kGlyphHeight = 7 * kScale;

// The glyph rows of a shape scaled up, 1 = ink.
std::vector<uint8_t> glyphRows(const char* shape) {
    int rowBytes = (kGlyphWidth + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * kGlyphHeight), 0);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x)
            if (shape[(y / kScale) * 5 + x / kScale] == '#')
                rows[static_cast<size_t>(y * rowBytes + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    return rows;
}

// A row as run-length pairs of (repeats - 1, byte).
std::vector<uint8_t> runLengths(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> pairs;
    for (size_t i = 0; i < row.size();) {
        size_t run = 1;
        while (i + run < row.size() && row[i + run] == row[i] && run < 256)
            ++run;
        pairs.push_back(static_cast<uint8_t>(run - 1));
        pairs.push_back(row[i]);
        i += run;
    }
    return pairs;
}

// The raster page at 300 dpi: a frame, a checkerboard and a diagonal sent as they are, stripes
// run-length encoded, and a short row at a bit offset near the right edge.
void rasterPage(JobBuilder& job, const std::string& afterResolution) {
    constexpr int kWidthBytes = 300;  // 2400 pixels
    job.esc("*t300R").text(afterResolution).esc("*b0M");
    std::vector<uint8_t> row(kWidthBytes);
    for (int y = 0; y < 600; ++y) {
        for (int i = 0; i < kWidthBytes; ++i) {
            bool frame = y < 4 || y >= 596 || i == 0 || i == kWidthBytes - 1;
            bool checker = ((y / 16) + (i / 2)) % 2 == 0 && i > 100 && i < 200;
            row[static_cast<size_t>(i)] = frame || checker ? 0xFF : 0x00;
        }
        row[static_cast<size_t>(y / 8 % kWidthBytes)] |= static_cast<uint8_t>(0x80 >> (y % 8));
        job.rasterRow(row);
    }
    job.esc("*b1M").esc("*p0x2000Y");
    for (int y = 0; y < 200; ++y) {
        for (int i = 0; i < kWidthBytes; ++i)
            row[static_cast<size_t>(i)] = (i / 10 + y / 25) % 2 ? 0xF0 : 0x00;
        std::vector<uint8_t> pairs = runLengths(row);
        job.esc("*b" + std::to_string(pairs.size()) + "W").bytes(pairs);
    }
    job.esc("*p2390x3000Y").esc("*b0M").rasterRow({0xFF, 0xAA, 0xFF});
    job.formFeed();
}

// The text page: a soft font, then lines at cursor positions, line feeds and a far corner.
void textPage(JobBuilder& job) {
    job.fontHeader(40, 30);
    for (const auto& [code, shape] : kShapes)
        job.glyph(static_cast<unsigned char>(code), 0, kGlyphHeight, kGlyphWidth, kGlyphHeight,
                  glyphRows(shape));
    job.esc("*p150x120Y").text("ZELMO 2026").carriageReturn().lineFeed();
    job.text("FAKTURA 123").carriageReturn().lineFeed().lineFeed();
    job.esc("*p1203x1501Y").text("ZOE 620").carriageReturn().lineFeed();
    job.esc("*p2200x2900Y").text("KLM");
    job.formFeed();
}

// The copies command for the given count, or nothing.
std::string copiesCommand(int copies) {
    return copies > 0 ? "\x1b&l" + std::to_string(copies) + "X" : std::string();
}

// The sequences that open the job after its reset, the copies command among them except for
// the raster opening (which is the raster page's own first command).
void opening(JobBuilder& job, Opening kind, int copies) {
    switch (kind) {
        case Opening::Raster:
            return;
        case Opening::Copies:
            job.text(copiesCommand(copies > 0 ? copies : 1));
            return;
        case Opening::FontId:
            job.esc("*c1D");
            break;
        case Opening::PageSetup:
            job.esc("&l26a0o0E");
            break;
    }
    job.text(copiesCommand(copies));
}

}  // namespace

bool parseOpening(const std::string& name, Opening& opening) {
    static const std::map<std::string, Opening> kNames = {{"raster", Opening::Raster},
                                                          {"copies", Opening::Copies},
                                                          {"font-id", Opening::FontId},
                                                          {"page-setup", Opening::PageSetup}};
    auto it = kNames.find(name);
    if (it == kNames.end()) return false;
    opening = it->second;
    return true;
}

std::vector<uint8_t> sampleJob(int copies) {
    return sampleJob(copies, copies > 0 ? Opening::Copies : Opening::Raster);
}

std::vector<uint8_t> sampleJob(int copies, Opening kind) {
    JobBuilder job;
    job.esc("E");
    opening(job, kind, copies);
    rasterPage(job, kind == Opening::Raster ? copiesCommand(copies) : std::string());
    textPage(job);
    return job.data();
}

}  // namespace zelmo
