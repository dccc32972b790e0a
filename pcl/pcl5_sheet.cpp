// Painting onto the PCL 5 sheet: rectangles, raster rows and glyph pixels through the pattern.
#include "pcl/pcl5_sheet.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zelmo {
namespace {

// A sheet larger than this is refused, as the accounting program's pages are.
constexpr int64_t kMaxSheetBytes = int64_t{256} << 20;

// The printer's eight shading levels as tiles of 8 pixels across and 16 down, anchored at the
// sheet's corner (the leftmost pixel in the high bit), as a LaserJet-class interpreter prints
// them: up to 2, 10, 20, 35, 55, 80 and 99 percent, then solid.
constexpr int32_t kShadingUpTo[] = {2, 10, 20, 35, 55, 80, 99};
constexpr uint8_t kShading[7][16] = {
    {0x10, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0},
    {0x10, 0, 0, 0, 0x01, 0, 0, 0, 0x10, 0, 0, 0, 0x01, 0, 0, 0},
    {0x18, 0x18, 0, 0, 0x81, 0x81, 0, 0, 0x18, 0x18, 0, 0, 0x81, 0x81, 0, 0},
    {0x38, 0x38, 0x10, 0x01, 0x83, 0x83, 0x01, 0x10, 0x38, 0x38, 0x10, 0x01, 0x83, 0x83, 0x01,
     0x10},
    {0x38, 0x7D, 0x38, 0x11, 0x83, 0xD7, 0x83, 0x11, 0x38, 0x7D, 0x38, 0x11, 0x83, 0xD7, 0x83,
     0x11},
    {0x7C, 0x7C, 0x7C, 0xBB, 0xC7, 0xC7, 0xC7, 0xBB, 0x7C, 0x7C, 0x7C, 0xBB, 0xC7, 0xC7, 0xC7,
     0xBB},
    {0xFE, 0x7C, 0xFE, 0xFF, 0xEF, 0xC7, 0xEF, 0xFF, 0xFE, 0x7C, 0xFE, 0xFF, 0xEF, 0xC7, 0xEF,
     0xFF},
};

// Whether a shading of percent inks the pattern pixel (x, y).
bool shadingInk(int32_t percent, int32_t x, int32_t y) {
    if (percent <= 0) return false;
    for (int i = 0; i < 7; ++i)
        if (percent <= kShadingUpTo[i]) return (kShading[i][y & 15] >> (7 - (x & 7))) & 1;
    return true;
}

// Whether (x + y) or (x - y), taken on the 16-pixel cell, falls on a diagonal's three pixels.
bool onDiagonal(int32_t v, int32_t first) {
    return (v - first + 32) % 16 < 3;
}

// The six cross-hatch patterns on 16 x 16 cells anchored at the sheet's corner: horizontal,
// vertical, rising and falling diagonal lines, a square and a diagonal grid; the lines' phases
// are those a LaserJet-class interpreter prints.
bool hatchInk(int32_t id, int32_t x, int32_t y) {
    const int32_t cx = x % 16, cy = y % 16;
    const int32_t sum = (cx + cy) % 16, difference = (cx - cy + 16) % 16;
    switch (id) {
        case 1:
            return cy == 7 || cy == 8;
        case 2:
            return cx == 2 || cx == 3;
        case 3:
            return onDiagonal(sum, 9);
        case 4:
            return onDiagonal(difference, 10);
        case 5:
            return cy == 7 || cy == 8 || cx == 2 || cx == 3;
        case 6:
            return onDiagonal(sum, 9) || onDiagonal(difference, 10);
        default:
            return false;
    }
}

}  // namespace

bool Pcl5Sheet::create(int32_t width, int32_t height, int32_t dpi) {
    if (width <= 0 || height <= 0) return false;
    const int64_t stride = (int64_t{width} + 15) / 16 * 2;
    if (stride * height > kMaxSheetBytes) return false;
    try {
        bits_.assign(static_cast<std::size_t>(stride * height), 0xFF);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width, height_ = height, dpi_ = dpi, stride_ = static_cast<int32_t>(stride);
    inkTop_ = height_, inkBottom_ = 0, marked_ = false;
    return true;
}

// White again; only the rows that may hold ink are touched.
void Pcl5Sheet::clear() {
    if (inkBottom_ > inkTop_)
        std::memset(bits_.data() + std::size_t(inkTop_) * stride_, 0xFF,
                    std::size_t(inkBottom_ - inkTop_) * stride_);
    inkTop_ = height_, inkBottom_ = 0, marked_ = false;
}

bool Pcl5Sheet::black(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return !((bits_[std::size_t(y) * stride_ + (x >> 3)] >> (7 - (x & 7))) & 1);
}

// Whether the pattern inks the sheet pixel (x, y); patterns are anchored at the sheet's corner.
bool Pcl5Sheet::patternInk(const Paint& paint, int32_t x, int32_t y) const {
    // Patterns are drawn at 300 dpi; a 600-dpi sheet doubles their cells.
    const int32_t scale = dpi_ >= 600 ? 2 : 1;
    switch (paint.pattern) {
        case PatternKind::Black:
            return true;
        case PatternKind::White:
            return false;
        case PatternKind::Shading:
            return shadingInk(paint.id, x / scale, y / scale);
        case PatternKind::CrossHatch:
            return hatchInk(paint.id, x / scale, y / scale);
    }
    return false;
}

void Pcl5Sheet::setPixel(int32_t x, int32_t y, bool ink) {
    uint8_t& b = bits_[std::size_t(y) * stride_ + (x >> 3)];
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    b = ink ? static_cast<uint8_t>(b & ~bit) : static_cast<uint8_t>(b | bit);
    inkTop_ = std::min(inkTop_, y);
    inkBottom_ = std::max(inkBottom_, y + 1);
}

void Pcl5Sheet::paintPixel(int32_t x, int32_t y, bool ink, const Paint& paint) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    marked_ = true;
    if (!ink) {
        if (paint.sourceOpaque) setPixel(x, y, false);
    } else if (patternInk(paint, x, y)) {
        setPixel(x, y, true);
    } else if (paint.patternOpaque) {
        setPixel(x, y, false);
    }
}

void Pcl5Sheet::fillRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Paint& paint) {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_), y1 = std::min(y1, height_);
    if (x0 >= x1 || y0 >= y1) return;
    marked_ = true;
    const bool solid = paint.pattern == PatternKind::Black || paint.pattern == PatternKind::White;
    if (!solid || (paint.pattern == PatternKind::White && !paint.patternOpaque)) {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                paintPixel(x, y, true, paint);
        return;
    }
    // Solid black, or opaque white: whole bytes between the partial ends of each row.
    const bool ink = paint.pattern == PatternKind::Black;
    for (int32_t y = y0; y < y1; ++y) {
        int32_t x = x0;
        for (; x < x1 && (x & 7); ++x)
            setPixel(x, y, ink);
        const int32_t whole = (x1 - x) / 8;
        if (whole > 0) {
            std::memset(bits_.data() + std::size_t(y) * stride_ + (x >> 3), ink ? 0x00 : 0xFF,
                        std::size_t(whole));
            x += whole * 8;
        }
        for (; x < x1; ++x)
            setPixel(x, y, ink);
    }
    inkTop_ = std::min(inkTop_, y0);
    inkBottom_ = std::max(inkBottom_, y1);
}

void Pcl5Sheet::drawRow(int32_t x, int32_t y, const uint8_t* row, int32_t pixels,
                        const Paint& paint) {
    if (y < 0 || y >= height_ || pixels <= 0) return;
    marked_ = true;
    const int32_t first = std::max(0, -x), last = std::min(pixels, width_ - x);
    const bool plain = paint.pattern == PatternKind::Black && !paint.sourceOpaque;
    if (plain && first == 0 && last == pixels && x >= 0) {
        // The common case: solid ink wholly on the sheet, eight source pixels at a time, each
        // byte split over two sheet bytes unless aligned. The row's last byte may hold pixels
        // past its end: they are masked off.
        uint8_t* out = bits_.data() + std::size_t(y) * stride_ + (x >> 3);
        const int shift = x & 7;
        const int32_t bytes = (pixels + 7) / 8;
        const auto lastMask = static_cast<uint8_t>(0xFF << ((8 - (pixels & 7)) & 7));
        for (int32_t i = 0; i < bytes; ++i) {
            const uint8_t b = i + 1 == bytes ? static_cast<uint8_t>(row[i] & lastMask) : row[i];
            if (!b) continue;
            out[i] = static_cast<uint8_t>(out[i] & ~(b >> shift));
            // A spill into the next byte holds ink, so it lies on the sheet.
            const auto spill = static_cast<uint8_t>(shift ? b << (8 - shift) : 0);
            if (spill) out[i + 1] = static_cast<uint8_t>(out[i + 1] & ~spill);
        }
        inkTop_ = std::min(inkTop_, y);
        inkBottom_ = std::max(inkBottom_, y + 1);
        return;
    }
    for (int32_t i = first; i < last; ++i)
        paintPixel(x + i, y, (row[i >> 3] >> (7 - (i & 7))) & 1, paint);
}

}  // namespace zelmo
