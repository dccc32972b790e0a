// The portable 1-bit GDI: padding, orientation, FillRect and BitBlt SRCAND clipping.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi.h"

namespace zelmo::gdi {
namespace {

// The pixels of the bitmap selected into dc as a string of '#' (ink) and '.', row by row.
std::string picture(Dc dc) {
    BitmapView v = viewSelectedBitmap(dc);
    std::string out;
    for (int y = 0; y < v.height; ++y) {
        for (int x = 0; x < v.width; ++x)
            out += v.ink(x, y) ? '#' : '.';
        out += '\n';
    }
    return out;
}

// A memory DC holding bitmap, released with it.
struct Surface {
    UniqueBitmap bitmap;
    UniqueDc dc;
    explicit Surface(Bitmap b) : bitmap(b), dc(createCompatibleDc(nullptr)) {
        selectObject(dc.get(), b);
    }
    ~Surface() { dc.reset(); }
};

BitmapInfo dib(int width, int height, bool zeroIsWhite = false) {
    BitmapInfo info;
    info.biWidth = width;
    info.biHeight = height;
    if (zeroIsWhite) {
        info.colors[0] = {255, 255, 255, 0};
        info.colors[1] = {0, 0, 0, 0};
    }
    return info;
}

struct StrideCase {
    int width;
    int ddbStride;
    int dibStride;
};

class Strides : public ::testing::TestWithParam<StrideCase> {};

TEST_P(Strides, PadDdbTo16AndDibTo32Bits) {
    Surface ddb(createBitmap(GetParam().width, 2, 1, 1, nullptr));
    void* bits = nullptr;
    Surface section(createDibSection(nullptr, dib(GetParam().width, 2), &bits));
    EXPECT_EQ(viewSelectedBitmap(ddb.dc.get()).stride, GetParam().ddbStride);
    EXPECT_EQ(viewSelectedBitmap(section.dc.get()).stride, GetParam().dibStride);
    EXPECT_EQ(viewSelectedBitmap(section.dc.get()).bits, bits);
}

INSTANTIATE_TEST_SUITE_P(Cases, Strides,
                         ::testing::Values(StrideCase{1, 2, 4}, StrideCase{10, 2, 4},
                                           StrideCase{17, 4, 4}, StrideCase{33, 6, 8},
                                           StrideCase{100, 14, 16}));

TEST(Gdi, InitialBitsAreRowsOfWholeWords) {
    const uint8_t bits[] = {0x0F, 0xFF, 0xFF, 0x7F};  // 10 x 2, rows of two bytes
    Surface s(createBitmap(10, 2, 1, 1, bits));
    EXPECT_EQ(picture(s.dc.get()), "####......\n........#.\n");
}

TEST(Gdi, DibOrientationFollowsHeightSign) {
    void* up = nullptr;
    void* down = nullptr;
    Surface bottomUp(createDibSection(nullptr, dib(8, 3), &up));
    Surface topDown(createDibSection(nullptr, dib(8, -3), &down));
    static_cast<uint8_t*>(up)[0] = 0x00;    // first row in memory: ink
    static_cast<uint8_t*>(down)[0] = 0x00;  // (section memory starts at 0: all ink)
    std::fill_n(static_cast<uint8_t*>(up) + 4, 8, 0xFF);
    std::fill_n(static_cast<uint8_t*>(down) + 4, 8, 0xFF);
    EXPECT_EQ(picture(bottomUp.dc.get()), "........\n........\n########\n");
    EXPECT_EQ(picture(topDown.dc.get()), "########\n........\n........\n");
}

TEST(Gdi, RefusesBadShapes) {
    EXPECT_EQ(createBitmap(0, 5, 1, 1, nullptr), nullptr);
    EXPECT_EQ(createBitmap(5, -1, 1, 1, nullptr), nullptr);
    EXPECT_EQ(createBitmap(5, 5, 1, 8, nullptr), nullptr);
    EXPECT_EQ(createBitmap(100000, 100000, 1, 1, nullptr), nullptr);  // beyond any sheet
    void* bits = &bits;
    EXPECT_EQ(createDibSection(nullptr, dib(0, 4), &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(createDibSection(nullptr, dib(4, 0), &bits), nullptr);
}

TEST(Gdi, FillRectWhiteIsClippedToTheBitmap) {
    Surface s(createBitmap(10, 3, 1, 1, nullptr));  // starts black
    fillRectWhite(s.dc.get(), {-5, 1, 4, 100});
    fillRectWhite(s.dc.get(), {8, -2, 30, 1});
    EXPECT_EQ(picture(s.dc.get()), "########..\n....######\n....######\n");
    void* bits = nullptr;
    Surface inverted(createDibSection(nullptr, dib(4, 1, true), &bits));
    std::fill_n(static_cast<uint8_t*>(bits), 4, 0xFF);  // index 1 = black here
    fillRectWhite(inverted.dc.get(), {1, 0, 3, 1});
    EXPECT_EQ(picture(inverted.dc.get()), "#..#\n");
}

struct BlitCase {
    const char* name;
    int x, y, w, h, srcX, srcY;
    std::string expected;  // the 8 x 4 destination afterwards
};

class BlitSrcAnd : public ::testing::TestWithParam<BlitCase> {};

// A 3 x 2 glyph: "#.#" over "###", blitted onto a white 8 x 4 page.
TEST_P(BlitSrcAnd, AddsInkClippedAtEveryEdge) {
    const BlitCase& c = GetParam();
    const uint8_t glyph[] = {0x5F, 0xFF, 0x1F, 0xFF};  // 0 = black
    Surface src(createBitmap(3, 2, 1, 1, glyph));
    for (bool dibPage : {false, true}) {
        void* bits = nullptr;
        Surface page(dibPage ? createDibSection(nullptr, dib(8, 4), &bits)
                             : createBitmap(8, 4, 1, 1, nullptr));
        fillRectWhite(page.dc.get(), {0, 0, 8, 4});
        bitBltSrcAnd(page.dc.get(), c.x, c.y, c.w, c.h, src.dc.get(), c.srcX, c.srcY);
        EXPECT_EQ(picture(page.dc.get()), c.expected) << (dibPage ? "DIB" : "DDB");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlitSrcAnd,
    ::testing::Values(
        BlitCase{"Inside", 2, 1, 3, 2, 0, 0, "........\n..#.#...\n..###...\n........\n"},
        BlitCase{"NegativeLeftTop", -1, -1, 3, 2, 0, 0, "##......\n........\n........\n........\n"},
        BlitCase{"RightBottomEdge", 6, 3, 3, 2, 0, 0, "........\n........\n........\n......#.\n"},
        BlitCase{"LargerThanSource", 0, 0, 50, 50, 0, 0,
                 "#.#.....\n###.....\n........\n........\n"},
        BlitCase{"SourceOffset", 0, 0, 2, 2, 1, 0, ".#......\n##......\n........\n........\n"},
        BlitCase{"NegativeSource", 0, 0, 3, 2, -1, 0, ".#......\n.##.....\n........\n........\n"},
        BlitCase{"FarAway", -100000, 5000000, 3, 2, 0, 0,
                 "........\n........\n........\n........\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Gdi, SrcAndKeepsExistingInk) {
    const uint8_t white[] = {0xFF, 0xFF};
    Surface src(createBitmap(8, 1, 1, 1, white));
    Surface page(createBitmap(8, 1, 1, 1, nullptr));  // all ink
    bitBltSrcAnd(page.dc.get(), 0, 0, 8, 1, src.dc.get(), 0, 0);
    EXPECT_EQ(picture(page.dc.get()), "########\n");
}

TEST(Gdi, SrcAndOntoZeroIsWhiteSection) {
    const uint8_t glyph[] = {0x3F, 0xFF};  // two ink pixels
    Surface src(createBitmap(8, 1, 1, 1, glyph));
    void* bits = nullptr;
    Surface page(createDibSection(nullptr, dib(8, 1, true), &bits));  // memory 0: white
    bitBltSrcAnd(page.dc.get(), 3, 0, 8, 1, src.dc.get(), 0, 0);
    EXPECT_EQ(picture(page.dc.get()), "...##...\n");
    EXPECT_EQ(static_cast<uint8_t*>(bits)[0], 0x18);
}

TEST(Gdi, SelectedBitmapCannotBeDeletedOrSelectedTwice) {
    int before = liveObjectCount();
    Bitmap b = createBitmap(4, 4, 1, 1, nullptr);
    Dc first = createCompatibleDc(nullptr);
    Dc second = createCompatibleDc(nullptr);
    Bitmap stock = selectObject(first, b);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(selectObject(second, b), nullptr);
    EXPECT_FALSE(deleteObject(b));
    EXPECT_EQ(selectObject(first, stock), b);
    EXPECT_FALSE(deleteObject(stock));  // stock objects are never deleted
    EXPECT_TRUE(deleteObject(b));
    EXPECT_TRUE(deleteDc(first));
    EXPECT_TRUE(deleteDc(second));
    EXPECT_EQ(liveObjectCount(), before);
}

}  // namespace
}  // namespace zelmo::gdi
