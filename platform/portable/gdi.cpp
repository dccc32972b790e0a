// Our own 1-bit GDI: monochrome bitmaps, 1-bit DIB sections, memory DCs, FillRect and BitBlt
// SRCAND, with GDI's pixel, padding and orientation rules.
#include "platform/gdi.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace zelmo::gdi {

struct BitmapObject {
    int width = 0;
    int height = 0;
    int stride = 0;
    bool bottomUp = false;
    bool inkFor[2] = {true, false};  // a monochrome bitmap's 0 is black
    bool stock = false;
    std::unique_ptr<uint8_t[]> bits;
    DcObject* selectedIn = nullptr;

    uint8_t* row(int r) {
        return bits.get() + static_cast<std::ptrdiff_t>(bottomUp ? height - 1 - r : r) * stride;
    }
    // The bit value that shows white.
    int whiteBit() const { return inkFor[1] ? 0 : 1; }
};

struct DcObject {
    BitmapObject* bitmap = nullptr;
    bool memory = false;
};

namespace {

// Larger images are refused like a failed allocation: no page of a real sheet comes near it.
constexpr int64_t kMaxBitmapBytes = int64_t{256} << 20;
// Bytes allocated past the last row, so the blit may read and write whole 64-bit words at any
// byte of a row; what lies beyond the pixels it changes is written back as it was.
constexpr int kSlack = 8;

std::atomic<int> liveObjects{0};

// The 1 x 1 monochrome bitmap every new memory DC holds.
BitmapObject& stockBitmap() {
    static BitmapObject* stock = [] {
        auto* b = new BitmapObject;
        b->width = b->height = 1;
        b->stride = 2;
        b->stock = true;
        b->bits.reset(new uint8_t[2 + kSlack]());
        return b;
    }();
    return *stock;
}

// Allocates a bitmap of height rows of stride bytes, or null when it is too large or fails.
BitmapObject* allocate(int width, int height, int stride) {
    int64_t size = int64_t{stride} * height;
    if (width <= 0 || height <= 0 || size > kMaxBitmapBytes) return nullptr;
    auto* b = new (std::nothrow) BitmapObject;
    if (!b) return nullptr;
    b->bits.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size) + kSlack]);
    if (!b->bits) {
        delete b;
        return nullptr;
    }
    std::memset(b->bits.get() + size, 0, kSlack);
    b->width = width;
    b->height = height;
    b->stride = stride;
    ++liveObjects;
    return b;
}

// Sets pixels [x0, x1) of a row to the bit value v.
void fillBits(uint8_t* row, int x0, int x1, int v) {
    while (x0 < x1 && (x0 & 7)) {
        uint8_t m = 0x80 >> (x0 & 7);
        row[x0 >> 3] = v ? (row[x0 >> 3] | m) : (row[x0 >> 3] & ~m);
        ++x0;
    }
    int whole = (x1 - x0) >> 3;
    if (whole > 0) {
        std::memset(row + (x0 >> 3), v ? 0xFF : 0x00, static_cast<size_t>(whole));
        x0 += whole * 8;
    }
    for (; x0 < x1; ++x0) {
        uint8_t m = 0x80 >> (x0 & 7);
        row[x0 >> 3] = v ? (row[x0 >> 3] | m) : (row[x0 >> 3] & ~m);
    }
}

inline uint64_t topMask(int count) {
    return count >= 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> count);
}

// 56 bits less the bit offset always fit one word after the shift to its top.
constexpr int kChunk = 48;

// Where the source shows ink, the destination becomes ink: count source pixels from bit sx of
// src onto bit dx of dst. SrcWhite and DstWhite are the bit values that mean white. Both rows lie
// in buffers with kSlack bytes after them, so 8-byte words from any byte of a row are safe.
template <bool SrcWhite, bool DstWhite>
inline void andChunk(uint8_t* dst, int dx, const uint8_t* src, int sx, uint64_t mask) {
    uint64_t s = loadBe64(src + (sx >> 3)) << (sx & 7);
    uint64_t ink = ((SrcWhite ? ~s : s) & mask) >> (dx & 7);  // 1 where the source is ink
    uint8_t* out = dst + (dx >> 3);
    uint64_t d = loadBe64(out);
    storeBe64(out, DstWhite ? d & ~ink : d | ink);
}

// The rows of a clipped blit; a glyph row is narrower than a chunk and takes one word per row.
template <bool SrcWhite, bool DstWhite>
void andRows(uint8_t* out, std::ptrdiff_t outStep, const uint8_t* in, std::ptrdiff_t inStep, int dx,
             int sx, int count, int64_t rows) {
    if (count <= kChunk) {
        // A glyph: one word per row, under the same mask.
        const uint64_t mask = topMask(count);
        for (int64_t r = 0;; out += outStep, in += inStep) {
            andChunk<SrcWhite, DstWhite>(out, dx, in, sx, mask);
            if (++r == rows) return;
        }
    }
    for (int64_t r = 0;;) {
        for (int i = 0; i < count; i += kChunk)
            andChunk<SrcWhite, DstWhite>(out, dx + i, in, sx + i,
                                         topMask(std::min(kChunk, count - i)));
        // Stepping stops at the last row: a bottom-up image's next row would lie before it.
        if (++r == rows) break;
        out += outStep;
        in += inStep;
    }
}

// Clips a span [pos, pos + len) on the destination and [srcPos, ...) on the source to their
// extents; false when nothing is left.
bool clipSpan(int64_t& pos, int64_t& srcPos, int64_t& len, int64_t dstExtent, int64_t srcExtent) {
    if (pos < 0) {
        srcPos -= pos;
        len += pos;
        pos = 0;
    }
    if (srcPos < 0) {
        pos -= srcPos;
        len += srcPos;
        srcPos = 0;
    }
    len = std::min({len, dstExtent - pos, srcExtent - srcPos});
    return len > 0;
}

}  // namespace

Bitmap createBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                    const void* bits) {
    if (planes != 1 || bitsPerPixel != 1 || width <= 0) return nullptr;
    BitmapObject* b = allocate(width, height, ((width + 15) / 16) * 2);
    if (!b) return nullptr;
    size_t size = static_cast<size_t>(b->stride) * static_cast<size_t>(height);
    if (bits)
        std::memcpy(b->bits.get(), bits, size);
    else
        std::memset(b->bits.get(), 0, size);
    return b;
}

Bitmap createDibSection(Dc, const BitmapInfo& info, void** bits) {
    if (bits) *bits = nullptr;
    if (info.biSize != 40 || info.biPlanes != 1 || info.biBitCount != 1 ||
        info.biCompression != 0 || info.biWidth <= 0 || info.biHeight == 0 ||
        info.biHeight == INT32_MIN)
        return nullptr;
    int height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    BitmapObject* b = allocate(info.biWidth, height, ((info.biWidth + 31) / 32) * 4);
    if (!b) return nullptr;
    b->bottomUp = info.biHeight > 0;
    for (int i = 0; i < 2; ++i) {
        const RgbQuad& c = info.colors[i];
        b->inkFor[i] = c.red + c.green + c.blue < 384;  // the nearer of black and white
    }
    // Section memory starts zeroed, as the system's does.
    std::memset(b->bits.get(), 0, static_cast<size_t>(b->stride) * static_cast<size_t>(height));
    if (bits) *bits = b->bits.get();
    return b;
}

Dc createDisplayIc() {
    ++liveObjects;
    return new DcObject;
}

Dc createCompatibleDc(Dc) {
    auto* dc = new DcObject;
    dc->memory = true;
    dc->bitmap = &stockBitmap();
    ++liveObjects;
    return dc;
}

Bitmap selectObject(Dc dc, Bitmap bitmap) {
    if (!dc || !bitmap || !dc->memory) return nullptr;
    if (!bitmap->stock && bitmap->selectedIn && bitmap->selectedIn != dc) return nullptr;
    BitmapObject* previous = dc->bitmap;
    if (previous && !previous->stock) previous->selectedIn = nullptr;
    dc->bitmap = bitmap;
    if (!bitmap->stock) bitmap->selectedIn = dc;
    return previous;
}

bool deleteDc(Dc dc) {
    if (!dc) return false;
    if (dc->bitmap && !dc->bitmap->stock) dc->bitmap->selectedIn = nullptr;
    delete dc;
    --liveObjects;
    return true;
}

bool deleteObject(Bitmap bitmap) {
    if (!bitmap || bitmap->stock || bitmap->selectedIn) return false;
    delete bitmap;
    --liveObjects;
    return true;
}

void fillRectWhite(Dc dc, const Rect& rect) {
    if (!dc || !dc->bitmap) return;
    BitmapObject& b = *dc->bitmap;
    int x0 = std::max(rect.left, 0), x1 = std::min(rect.right, b.width);
    int y0 = std::max(rect.top, 0), y1 = std::min(rect.bottom, b.height);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y)
        fillBits(b.row(y), x0, x1, b.whiteBit());
}

void bitBltSrcAnd(Dc dst, int x, int y, int width, int height, Dc src, int srcX, int srcY) {
    if (!dst || !src || !dst->bitmap || !src->bitmap || width <= 0 || height <= 0) return;
    BitmapObject& d = *dst->bitmap;
    BitmapObject& s = *src->bitmap;
    int64_t dx = x, sx = srcX, w = width;
    int64_t dy = y, sy = srcY, h = height;
    if (!clipSpan(dx, sx, w, d.width, s.width) || !clipSpan(dy, sy, h, d.height, s.height)) return;
    // Row pointers step down the image whichever way the rows lie in memory.
    uint8_t* out = d.row(static_cast<int>(dy));
    const uint8_t* in = s.row(static_cast<int>(sy));
    std::ptrdiff_t outStep = d.bottomUp ? -d.stride : d.stride;
    std::ptrdiff_t inStep = s.bottomUp ? -s.stride : s.stride;
    auto blit = [&](auto rows) {
        rows(out, outStep, in, inStep, static_cast<int>(dx), static_cast<int>(sx),
             static_cast<int>(w), h);
    };
    bool srcWhite = s.whiteBit() != 0, dstWhite = d.whiteBit() != 0;
    if (srcWhite && dstWhite) blit(andRows<true, true>);
    if (srcWhite && !dstWhite) blit(andRows<true, false>);
    if (!srcWhite && dstWhite) blit(andRows<false, true>);
    if (!srcWhite && !dstWhite) blit(andRows<false, false>);
}

BitmapView viewSelectedBitmap(Dc dc) {
    BitmapView view;
    if (!dc || !dc->bitmap || dc->bitmap->stock) return view;
    const BitmapObject& b = *dc->bitmap;
    view.width = b.width;
    view.height = b.height;
    view.stride = b.stride;
    view.bits = b.bits.get();
    view.bottomUp = b.bottomUp;
    view.inkFor[0] = b.inkFor[0];
    view.inkFor[1] = b.inkFor[1];
    return view;
}

int liveObjectCount() {
    return liveObjects.load();
}

}  // namespace zelmo::gdi
