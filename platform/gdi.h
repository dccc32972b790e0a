// The subset of the Windows graphics device interface the core draws pages with.
//
// The names follow GDI so the core reads against it line by line; a Windows build maps each call
// onto the real one, the portable build (platform/portable/gdi.cpp) implements the same pixel
// rules itself: the most significant bit is the leftmost pixel, a monochrome bitmap's 0 is black,
// its rows are padded to 16 bits and run top-down, a DIB's rows are padded to 32 bits and run
// bottom-up for a positive height, and its colours come from its colour table.
#pragma once

#include <cstdint>
#include <memory>

namespace zelmo::gdi {

struct BitmapObject;
struct DcObject;
using Bitmap = BitmapObject*;  // HBITMAP
using Dc = DcObject*;          // HDC

struct RgbQuad {
    uint8_t blue, green, red, reserved;
};

// BITMAPINFO with a two-entry colour table: all a 1-bit DIB section needs.
struct BitmapInfo {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 1;
    uint32_t biCompression = 0;  // BI_RGB
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
    RgbQuad colors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
};

struct Rect {
    int32_t left, top, right, bottom;
};

// CreateBitmap: a monochrome device-dependent bitmap, from initial bits (rows padded to 16
// bits) or, when bits is null, with undefined content. Null when it cannot be made.
Bitmap createBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                    const void* bits);
// CreateDIBSection(dc, info, DIB_RGB_COLORS, bits, no section, 0): *bits receives the memory.
Bitmap createDibSection(Dc dc, const BitmapInfo& info, void** bits);
// CreateICA("DISPLAY", nullptr, nullptr, nullptr).
Dc createDisplayIc();
// CreateCompatibleDC: a memory DC holding the 1 x 1 stock monochrome bitmap.
Dc createCompatibleDc(Dc dc);
// SelectObject for a bitmap: returns the bitmap selected before, null when it cannot be selected.
Bitmap selectObject(Dc dc, Bitmap bitmap);
bool deleteDc(Dc dc);
// DeleteObject: refuses (false) a bitmap still selected into a DC, as GDI does.
bool deleteObject(Bitmap bitmap);
// FillRect with the stock WHITE_BRUSH, clipped to the DC's bitmap.
void fillRectWhite(Dc dc, const Rect& rect);
// BitBlt with SRCAND: a destination pixel stays white only where the source pixel is white.
void bitBltSrcAnd(Dc dst, int x, int y, int width, int height, Dc src, int srcX, int srcY);

// Read access to the bitmap selected into a memory DC, for printer objects that rasterise pages
// themselves. A bit b of row r (0 = top) means ink when inkFor[b] is true.
struct BitmapView {
    int width = 0;
    int height = 0;
    int stride = 0;
    const uint8_t* bits = nullptr;
    bool bottomUp = false;
    bool inkFor[2] = {true, false};

    const uint8_t* row(int r) const {
        return bits + static_cast<std::ptrdiff_t>(bottomUp ? height - 1 - r : r) * stride;
    }
    bool ink(int x, int y) const { return inkFor[(row(y)[x >> 3] >> (7 - (x & 7))) & 1]; }
};
// The view of the bitmap selected into dc; width 0 when there is none.
BitmapView viewSelectedBitmap(Dc dc);

// Owners, for code that wants a handle released on every path.
struct DcDeleter {
    void operator()(Dc dc) const { deleteDc(dc); }
};
struct BitmapDeleter {
    void operator()(Bitmap bitmap) const { deleteObject(bitmap); }
};
using UniqueDc = std::unique_ptr<DcObject, DcDeleter>;
using UniqueBitmap = std::unique_ptr<BitmapObject, BitmapDeleter>;

// Live objects, for leak checks in tests (always 0 where the platform cannot count).
int liveObjectCount();

}  // namespace zelmo::gdi
