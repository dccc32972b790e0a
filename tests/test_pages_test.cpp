// The three test pages: their documents, their line positions on the sheet, their copies.
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;

// Letter at 300 dpi: the 150-dpi sheet picture is 1275 x 1650, stretched two to one.
SimulatedPrinterConfig letter(bool copiesCapable = false) {
    SimulatedPrinterConfig c;
    c.width = 2550;
    c.height = 3300;
    c.dpi = 300;
    c.copiesCapable = copiesCapable;
    return c;
}

// The sheet rows that are black across most of the width.
std::vector<int> lineRows(const Sheet& s) {
    std::vector<int> rows;
    for (int y = 0; y < s.height; ++y)
        if (test::blackIn(s, 0, y, s.width, y + 1) > s.width / 2) rows.push_back(y);
    return rows;
}

// The sheet columns that are black down most of the height.
std::vector<int> lineColumns(const Sheet& s) {
    std::vector<int> cols;
    std::vector<int> n(static_cast<size_t>(s.width), 0);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            n[static_cast<size_t>(x)] += s.black(x, y);
    for (int x = 0; x < s.width; ++x)
        if (n[static_cast<size_t>(x)] > s.height / 2) cols.push_back(x);
    return cols;
}

TEST(TestPages, ColumnLineSetsOneBitOfItsByte) {
    std::vector<uint8_t> bits(160 * 3, 0);
    drawColumnLine(bits.data(), 160, static_cast<int64_t>(bits.size()), 637);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(bits[static_cast<size_t>(row * 160 + 79)], 0x20);
    drawRowLine(bits.data(), 160, 1);
    EXPECT_EQ(bits[160], 0xFF);
    EXPECT_EQ(bits[319], 0xFF);
    EXPECT_EQ(bits[320 + 79], 0x20);
}

TEST(TestPages, BitmapTestLinesAndGap) {
    JobRun r(letter());
    r.testMode = TestPage::Bitmap;
    r.run(std::vector<uint8_t>{});
    EXPECT_EQ(r.calls(),
              (std::vector<std::string>{"begin \"Kalvister II - wydruk.prn\"",
                                        "stretch 0 0 2550 3300 1275 1650 NOTSRCCOPY", "end"}));
    const Sheet& s = *r.sheets()[0];
    // Row 825 of the picture, doubled; the vertical line is pixel 634, not 637.
    EXPECT_EQ(lineRows(s), (std::vector<int>{1650, 1651}));
    EXPECT_EQ(lineColumns(s), (std::vector<int>{1268, 1269}));
    // The crossing byte holds only the vertical line's bit: pixels 632, 633, 635..639 are white.
    EXPECT_EQ(test::blackIn(s, 1264, 1650, 1268, 1652), 0);
    EXPECT_EQ(test::blackIn(s, 1270, 1650, 1280, 1652), 0);
    EXPECT_EQ(test::blackIn(s, 1262, 1650, 1264, 1652), 4);
}

TEST(TestPages, BitmapDiTestLinesAreBottomUp) {
    JobRun r(letter());
    r.testMode = TestPage::BitmapDi;
    r.run(std::vector<uint8_t>{});
    EXPECT_EQ(r.calls()[1], "stretch 0 0 2550 3300 1275 1650 SRCCOPY");
    const Sheet& s = *r.sheets()[0];
    // Buffer rows 550 and 1100 appear at rows 1099 and 549 from the top.
    EXPECT_EQ(lineRows(s), (std::vector<int>{1098, 1099, 2198, 2199}));
    EXPECT_EQ(lineColumns(s), (std::vector<int>{1268, 1269}));
}

struct VectorCase {
    const char* name;
    int width, height;
    std::vector<std::string> calls;
};

class VectorTest : public ::testing::TestWithParam<VectorCase> {};

TEST_P(VectorTest, DrawsCrossAndText) {
    const VectorCase& c = GetParam();
    SimulatedPrinterConfig config = letter(true);
    config.width = c.width;
    config.height = c.height;
    JobRun r(config);
    r.testMode = TestPage::Vector;
    r.request.offsetX = 500;  // a test page ignores the offsets, engine and single mode
    r.request.singleMode = 1;
    r.run(std::vector<uint8_t>{});
    EXPECT_EQ(r.calls(), c.calls);
    const Sheet& s = *r.sheets()[0];
    int h2 = c.height / 2, w2 = c.width / 2;
    // A pen of 6 pixels: rows h2 - 3 .. h2 + 2 and columns w2 - 3 .. w2 + 2.
    EXPECT_EQ(lineRows(s), (std::vector<int>{h2 - 3, h2 - 2, h2 - 1, h2, h2 + 1, h2 + 2}));
    EXPECT_EQ(lineColumns(s), (std::vector<int>{w2 - 3, w2 - 2, w2 - 1, w2, w2 + 1, w2 + 2}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VectorTest,
    ::testing::Values(VectorCase{"EvenSize",
                                 2550,
                                 3300,
                                 {"copies 1", "begin \"Kalvister II - wydruk.prn\"", "pen 6",
                                  "move 0 1650", "line 2550 1650", "move 1275 0", "line 1275 3300",
                                  "text 0 0 \"Test wektorowy\"", "end"}},
                      VectorCase{"OddSize",
                                 2551,
                                 3301,
                                 {"copies 1", "begin \"Kalvister II - wydruk.prn\"", "pen 6",
                                  "move 0 1650", "line 2550 1650", "move 1275 0", "line 1275 3300",
                                  "text 0 0 \"Test wektorowy\"", "end"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TestPages, ResetPrinterCopiesToOne) {
    JobRun r(letter(true));
    r.run(JobBuilder().esc("&l4X"));
    EXPECT_EQ(r.printer.copyCount(), 4);
    r.testMode = TestPage::Bitmap;
    r.run(std::vector<uint8_t>{});
    EXPECT_EQ(r.printer.copyCount(), 1);
    EXPECT_EQ(r.sheets().size(), 1u);
}

TEST(TestPages, LeaveNothingAllocated) {
    int before = gdi::liveObjectCount();
    for (TestPage mode : {TestPage::Vector, TestPage::Bitmap, TestPage::BitmapDi}) {
        JobRun r(letter());
        r.testMode = mode;
        r.run(std::vector<uint8_t>{});
        EXPECT_EQ(gdi::liveObjectCount(), before) << "test " << static_cast<int>(mode);
        EXPECT_EQ(r.state.surface.raster.pageBits, nullptr);
    }
}

TEST(TestPages, PrinterRefusalPassesOn) {
    SimulatedPrinterConfig config = letter(true);
    config.hasDeviceMode = false;
    JobRun r(config);
    r.testMode = TestPage::BitmapDi;
    int before = gdi::liveObjectCount();
    EXPECT_THROW(r.run(std::vector<uint8_t>{}), PrinterError);
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

}  // namespace
}  // namespace zelmo
