// Resampling a page image to device pixels by the printed sheet's rule.
#include "printers/pdf/image_scale.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace zelmo::pdf {
namespace {

// For destination step i of n, the source pixels [from, to) out of src that land on it: the
// nearest one when enlarging, every covered one when shrinking.
void sourceRange(int64_t i, int64_t n, int64_t src, int& from, int& to) {
    if (n >= src) {
        from = static_cast<int>((2 * i + 1) * src / (2 * n));
        to = from + 1;
    } else {
        from = static_cast<int>(i * src / n);
        to = std::max(from + 1, static_cast<int>((i + 1) * src / n));
    }
}

}  // namespace

// Both extents whole multiples of the source's.
bool wholeScale(int dw, int dh, int sw, int sh) {
    const int w = std::abs(dw), h = std::abs(dh);
    return sw > 0 && sh > 0 && w >= sw && h >= sh && w % sw == 0 && h % sh == 0;
}

// Every destination pixel looks at the source pixels that land on it.
bool resampleRect(const gdi::BitmapView& view, int sx, int sy, int sw, int sh, int dw, int dh,
                  bool invert, std::vector<uint8_t>& out, const std::atomic<bool>* stop) {
    const int w = std::abs(dw), h = std::abs(dh);
    const size_t rowBytes = static_cast<size_t>(w + 7) / 8;
    out.assign(rowBytes * static_cast<size_t>(h), 0);
    std::vector<int> colFrom(static_cast<size_t>(w)), colTo(static_cast<size_t>(w));
    for (int j = 0; j < w; ++j)
        sourceRange(j, w, sw, colFrom[static_cast<size_t>(j)], colTo[static_cast<size_t>(j)]);
    for (int i = 0; i < h; ++i) {
        // A shrunk page of 2 G source pixels takes seconds: a stop request is looked at per row.
        if (stop && stop->load(std::memory_order_relaxed)) return false;
        int rowFrom = 0, rowTo = 0;
        sourceRange(i, h, sh, rowFrom, rowTo);
        uint8_t* row = out.data() + rowBytes * static_cast<size_t>(i);
        for (int j = 0; j < w; ++j) {
            bool black = false;
            for (int y = rowFrom; y < rowTo && !black; ++y)
                for (int x = colFrom[static_cast<size_t>(j)];
                     x < colTo[static_cast<size_t>(j)] && !black; ++x)
                    black = view.ink(sx + x, sy + y) != invert;
            if (black) row[j >> 3] |= static_cast<uint8_t>(0x80 >> (j & 7));
        }
    }
    return true;
}

}  // namespace zelmo::pdf
