// The printer object's refusals, and the simulated printer's sheets: stretch spans, sampling,
// clipping, and dropped sheets of aborted documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/errors.h"
#include "printers/simulated/simulated_printer.h"

namespace zelmo {
namespace {

// What a call raised: its message, or "" when it went through.
template <typename F>
std::string refusal(F&& call) {
    try {
        call();
    } catch (const PrinterError& e) {
        return e.what();
    }
    return "";
}

TEST(PrinterObject, RefusedOperationsCarryTheirMessages) {
    SimulatedPrinterConfig config;
    config.hasDeviceMode = false;
    SimulatedPrinter p(config);
    EXPECT_EQ(refusal([&] { p.newPage(); }), "Printer is not currently printing");
    EXPECT_EQ(refusal([&] { p.endDoc(); }), "Printer is not currently printing");
    EXPECT_EQ(refusal([&] { p.abort(); }), "Printer is not currently printing");
    EXPECT_EQ(refusal([&] { p.setCopies(2); }), "Operation not supported on selected printer");
    EXPECT_EQ(refusal([&] { p.beginDoc(); }), "");
    EXPECT_EQ(refusal([&] { p.beginDoc(); }), "Printing in progress");
    EXPECT_EQ(refusal([&] { p.setCopies(2); }), "Printing in progress");
    EXPECT_EQ(refusal([&] { p.abort(); }), "");
    EXPECT_TRUE(p.aborted());
    EXPECT_FALSE(p.printing());
    EXPECT_EQ(refusal([&] { p.beginDoc(); }), "");
    EXPECT_FALSE(p.aborted());  // a new document clears the mark
    EXPECT_EQ(refusal([&] { p.endDoc(); }), "");
    EXPECT_EQ(p.calls(), (std::vector<std::string>{"begin \"\"", "abort", "begin \"\"", "end"}));
}

TEST(PrinterObject, CopyCountsBeyondSixteenBitsSaturateInsteadOfWrapping) {
    SimulatedPrinter p;
    const std::pair<int, int> counts[] = {{2, 2}, {999, 999}, {65537, 32767}, {70000, 32767}};
    for (auto [asked, kept] : counts) {
        p.setCopies(asked);
        EXPECT_EQ(p.copyCount(), kept) << asked;
    }
}

TEST(PrinterObject, FailedBeginLeavesNoDocument) {
    SimulatedPrinter p;
    p.setStartDocHook([](int) { throw PrinterError("Printer selected is not valid"); });
    EXPECT_EQ(refusal([&] { p.beginDoc(); }), "Printer selected is not valid");
    EXPECT_FALSE(p.printing());
    p.setAvailable(false);
    EXPECT_EQ(p.deviceContext(), nullptr);
    EXPECT_EQ(p.pageWidth(), 0);
}

// A printer of 12 x 10 pixels with a margin of 1 on every side, and a source bitmap.
struct StretchFixture {
    SimulatedPrinter printer;
    gdi::UniqueBitmap bitmap;
    gdi::UniqueDc dc;

    explicit StretchFixture(const std::vector<std::string>& rows) : printer(config()) {
        int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
        int stride = ((w + 15) / 16) * 2;
        std::vector<uint8_t> bits(static_cast<size_t>(stride * h), 0xFF);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (rows[y][x] == '#') bits[y * stride + x / 8] &= ~(0x80 >> (x % 8));
        bitmap.reset(gdi::createBitmap(w, h, 1, 1, bits.data()));
        dc.reset(gdi::createCompatibleDc(nullptr));
        gdi::selectObject(dc.get(), bitmap.get());
        printer.beginDoc();
    }
    ~StretchFixture() { dc.reset(); }
    static SimulatedPrinterConfig config() {
        SimulatedPrinterConfig c;
        c.width = 12;
        c.height = 10;
        c.left = c.top = c.right = c.bottom = 1;
        return c;
    }
    // The finished sheet as rows of '#' and '.'.
    std::vector<std::string> sheet() {
        printer.endDoc();
        const Sheet& s = *printer.memory().printedSheets().at(0);
        std::vector<std::string> out;
        for (int y = 0; y < s.height; ++y) {
            std::string row;
            for (int x = 0; x < s.width; ++x)
                row += s.black(x, y) ? '#' : '.';
            out.push_back(row);
        }
        return out;
    }
    void stretch(int dx, int dy, int dw, int dh, Rop rop = Rop::SrcCopy) {
        gdi::BitmapView v = gdi::viewSelectedBitmap(dc.get());
        static_cast<PrinterCanvas*>(printer.deviceContext())
            ->stretchBlt(dx, dy, dw, dh, dc.get(), 0, 0, v.width, v.height, rop);
    }
};

TEST(SimulatedPrinter, AStretchAskedToStopDrawsNoRow) {
    StretchFixture f({"##", "##"});
    const std::atomic<bool> stop{true};
    f.printer.deviceContext()->watchStop(&stop);
    f.stretch(0, 0, 4, 4);
    const std::vector<std::string> sheet = f.sheet();
    EXPECT_TRUE(std::all_of(sheet.begin(), sheet.end(),
                            [](const std::string& row) { return row.find('#') == row.npos; }));
}

struct StretchCase {
    const char* name;
    std::vector<std::string> source;
    int dx, dy, dw, dh;
    Rop rop;
    std::vector<std::string> sheet;
};

class Stretch : public ::testing::TestWithParam<StretchCase> {};

TEST_P(Stretch, ComposesTheSheet) {
    const StretchCase& c = GetParam();
    StretchFixture f(c.source);
    f.stretch(c.dx, c.dy, c.dw, c.dh, c.rop);
    EXPECT_EQ(f.sheet(), c.sheet);
}

const std::vector<std::string> kCorner = {"#..", "...", "..#"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Stretch,
    ::testing::Values(StretchCase{"OneToOneAtOrigin",
                                  kCorner,
                                  0,
                                  0,
                                  3,
                                  3,
                                  Rop::SrcCopy,
                                  {"............", ".#..........", "............", "...#........",
                                   "............", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"Inverted",
                                  {"#.", ".."},
                                  2,
                                  2,
                                  2,
                                  2,
                                  Rop::NotSrcCopy,
                                  {"............", "............", "............", "....#.......",
                                   "...##.......", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"NegativeHeightCoversOriginUp",
                                  {"#", "."},
                                  0,
                                  7,
                                  1,
                                  -8,
                                  Rop::SrcCopy,
                                  {"............", "............", "............", "............",
                                   "............", ".#..........", ".#..........", ".#..........",
                                   ".#..........", "............"}},
                      StretchCase{"NegativeWidthMirrors",
                                  {"##.."},
                                  5,
                                  0,
                                  -4,
                                  1,
                                  Rop::SrcCopy,
                                  {"............", ".....##.....", "............", "............",
                                   "............", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"NegativeWidthOverRows",
                                  {"##.."},
                                  5,
                                  0,
                                  -4,
                                  3,
                                  Rop::SrcCopy,
                                  {"............", ".....##.....", ".....##.....", ".....##.....",
                                   "............", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"EnlargeNearest",
                                  {"#."},
                                  0,
                                  0,
                                  5,
                                  1,
                                  Rop::SrcCopy,
                                  {"............", ".##.........", "............", "............",
                                   "............", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"ShrinkBlackWins",
                                  {"...#....", "........"},
                                  0,
                                  0,
                                  2,
                                  1,
                                  Rop::SrcCopy,
                                  {"............", ".#..........", "............", "............",
                                   "............", "............", "............", "............",
                                   "............", "............"}},
                      StretchCase{"ClippedToPrintableArea",
                                  {"####", "####"},
                                  -2,
                                  7,
                                  4,
                                  2,
                                  Rop::SrcCopy,
                                  {"............", "............", "............", "............",
                                   "............", "............", "............", "............",
                                   ".##.........",
                                   ".........."
                                   ".."}},
                      StretchCase{"OpaqueReplaces",
                                  {"..", ".."},
                                  0,
                                  0,
                                  2,
                                  2,
                                  Rop::SrcCopy,
                                  {"............", "............", "............", "............",
                                   "............", "............", "............", "............",
                                   "............", "............"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedPrinter, LaterStretchReplacesEarlierInk) {
    StretchFixture f({"##", "##"});
    f.stretch(0, 0, 2, 2);
    gdi::UniqueBitmap white(gdi::createBitmap(1, 1, 1, 1, std::vector<uint8_t>{0xFF, 0xFF}.data()));
    gdi::selectObject(f.dc.get(), white.get());
    f.stretch(0, 0, 1, 1);
    gdi::selectObject(f.dc.get(), f.bitmap.get());
    std::vector<std::string> sheet = f.sheet();
    EXPECT_EQ(sheet[1].substr(0, 4), "..#.");
    EXPECT_EQ(sheet[2].substr(0, 4), ".##.");
}

struct ScaleCase {
    const char* name;
    int sx;      // first source column: not a multiple of 8 takes the unaligned paths
    int dw, dh;  // destination extents for a 21 x 6 span of source
    Rop rop;
};

class StretchScale : public ::testing::TestWithParam<ScaleCase> {};

// Every enlargement against nearest neighbour pixel by pixel, on the second sheet of a document
// whose first sheet was all ink: nothing of that sheet may show around the span.
TEST_P(StretchScale, MatchesNearestNeighbourOnAFreshSheet) {
    const ScaleCase& c = GetParam();
    const int srcW = 40, srcH = 6, sw = 21, dx = 9, dy = 5;
    std::vector<uint8_t> bits(static_cast<size_t>(6 * srcH));
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<uint8_t>(i * 151 + 89);  // 0 is black in a monochrome bitmap
    std::copy(bits.begin() + 12, bits.begin() + 18, bits.begin() + 18);  // row 3 repeats row 2
    for (int r = 0; r < srcH; ++r)
        bits[static_cast<size_t>(r * 6)] =
            0xFF;  // and every row starts white, like a page's margin
    gdi::UniqueBitmap source(gdi::createBitmap(srcW, srcH, 1, 1, bits.data()));
    gdi::UniqueBitmap black(gdi::createBitmap(1, 1, 1, 1, std::vector<uint8_t>{0, 0}.data()));
    gdi::UniqueDc dc(gdi::createCompatibleDc(nullptr));
    SimulatedPrinterConfig config;
    config.width = 230;
    config.height = 60;
    config.left = 3;
    config.top = 2;
    SimulatedPrinter printer(config);
    auto* canvas = static_cast<PrinterCanvas*>(printer.deviceContext());
    printer.beginDoc();
    gdi::selectObject(dc.get(), black.get());
    canvas->stretchBlt(-3, -2, 230, 60, dc.get(), 0, 0, 1, 1, Rop::SrcCopy);
    printer.newPage();
    gdi::selectObject(dc.get(), source.get());
    canvas->stretchBlt(dx, dy, c.dw, c.dh, dc.get(), c.sx, 0, sw, srcH, c.rop);
    gdi::selectObject(dc.get(), black.get());
    printer.endDoc();

    const Sheet& sheet = *printer.memory().printedSheets().at(1);
    int wrong = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            int i = x - config.left - dx, j = y - config.top - dy;
            bool ink = false;
            if (i >= 0 && i < c.dw && j >= 0 && j < c.dh) {
                int u = c.sx + static_cast<int>((2 * int64_t{i} + 1) * sw / (2 * c.dw));
                int v = static_cast<int>((2 * int64_t{j} + 1) * srcH / (2 * c.dh));
                bool white = (bits[static_cast<size_t>(v * 6 + u / 8)] >> (7 - u % 8)) & 1;
                ink = white == (c.rop == Rop::NotSrcCopy);
            }
            wrong += sheet.black(x, y) != ink;
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, StretchScale,
                         ::testing::Values(ScaleCase{"Double", 0, 42, 12, Rop::SrcCopy},
                                           ScaleCase{"DoubleUnaligned", 5, 42, 12, Rop::SrcCopy},
                                           ScaleCase{"TripleInverted", 0, 63, 18, Rop::NotSrcCopy},
                                           ScaleCase{"Quadruple", 3, 84, 24, Rop::SrcCopy},
                                           ScaleCase{"EightTimes", 8, 168, 48, Rop::NotSrcCopy},
                                           ScaleCase{"OneToOne", 1, 21, 6, Rop::SrcCopy},
                                           ScaleCase{"NotWhole", 0, 50, 13, Rop::SrcCopy}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedPrinter, AbortedDocumentLeavesNoSheets) {
    SimulatedPrinter p;
    p.beginDoc();
    p.newPage();
    p.abort();
    p.beginDoc();
    p.endDoc();
    ASSERT_EQ(p.memory().documents.size(), 2u);
    EXPECT_TRUE(p.memory().documents[0].aborted);
    EXPECT_TRUE(p.memory().documents[0].sheets.empty());
    EXPECT_EQ(p.memory().printedSheets().size(), 1u);
}

}  // namespace
}  // namespace zelmo
