// Raster row transfers: rows sent as they are (method 0) or as run-length pairs (method 1),
// complemented into the raster page at rasterRow and rasterX, clipped to the row's bytes.
#include <algorithm>
#include <cstring>

#include "pcl/interpreter.h"
#include "pcl/raster_compression.h"
#include "platform/byte_order.h"

namespace zelmo {
namespace {

// Where the bytes of one row go: q walks the row, s is the bit offset of rasterX.
struct RowCursor {
    uint8_t* page;
    int64_t q;
    int64_t rowEnd;
    int shift;

    // Stores one data byte (1 = ink) at q, complemented, and moves q on.
    void store(uint8_t d) {
        uint8_t ink = static_cast<uint8_t>(~d);
        if (shift == 0) {
            page[q] = ink;
        } else {
            uint8_t high = static_cast<uint8_t>(0xFF << (8 - shift));
            page[q] = static_cast<uint8_t>((page[q] & high) | (ink >> shift));
            page[q + 1] = static_cast<uint8_t>((page[q + 1] & ~high) | (ink << (8 - shift)));
        }
        ++q;
    }
    // Stores one data byte k times by shifted writes (k >= 1): the page bytes between the first
    // and the last each take the tail and the head of the same byte, one block fill.
    void storeShiftedRun(uint8_t d, int64_t k) {
        auto ink = static_cast<uint8_t>(~d);
        auto high = static_cast<uint8_t>(0xFF << (8 - shift));
        page[q] = static_cast<uint8_t>((page[q] & high) | (ink >> shift));
        auto rotated = static_cast<uint8_t>((ink << (8 - shift)) | (ink >> shift));
        std::memset(page + q + 1, rotated, static_cast<size_t>(k - 1));
        page[q + k] = static_cast<uint8_t>((page[q + k] & ~high) | (ink << (8 - shift)));
        q += k;
    }
    // A shifted write touches q + 1, so it needs q before the row's last byte.
    bool roomForShifted() const { return q < rowEnd - 1; }
};

void methodZero(RowCursor& row, const uint8_t* data, int64_t count) {
    int64_t n = std::min(count, row.rowEnd - row.q);
    if (n <= 0) return;
    if (row.shift == 0) {
        // Aligned rows are a block copy with complement.
        uint8_t* out = row.page + row.q;
        for (int64_t i = 0; i < n; ++i)
            out[i] = static_cast<uint8_t>(~data[i]);
        return;
    }
    // Shifted stores of consecutive bytes replace one unbroken run of bits: the first and last
    // page bytes keep the pixels outside it, each byte between takes the tail of one data byte
    // and the head of the next.
    int64_t m = std::min(n, row.rowEnd - 1 - row.q);
    if (m <= 0) return;
    int s = row.shift;
    uint8_t* out = row.page + row.q;
    auto high = static_cast<uint8_t>(0xFF << (8 - s));
    out[0] = static_cast<uint8_t>((out[0] & high) | (static_cast<uint8_t>(~data[0]) >> s));
    int64_t i = 1;
    i += shiftedComplement(out + i, data + i, m - i, s);
    for (; i < m; ++i)
        out[i] = static_cast<uint8_t>(~((data[i - 1] << (8 - s)) | (data[i] >> s)));
    out[m] =
        static_cast<uint8_t>((out[m] & ~high) | (static_cast<uint8_t>(~data[m - 1]) << (8 - s)));
    row.q += m;
}

void methodOne(RowCursor& row, const uint8_t* data, int64_t count) {
    for (int64_t pair = 0; pair < count / 2; ++pair) {
        int reps = data[2 * pair] + 1;
        uint8_t d = data[2 * pair + 1];
        if (reps == 1) {
            // A single byte needs two bytes of room even when aligned.
            if (row.q >= row.rowEnd - 1) return;
            row.store(d);
        } else {
            if (row.q + reps > row.rowEnd) return;
            if (row.shift == 0) {
                std::memset(row.page + row.q, static_cast<uint8_t>(~d), static_cast<size_t>(reps));
                row.q += reps;
            } else {
                // Repetitions that would start in the row's last byte are dropped.
                int64_t k = std::min<int64_t>(reps, row.rowEnd - 1 - row.q);
                if (k > 0) row.storeShiftedRun(d, k);
            }
        }
    }
}

}  // namespace

bool transferRasterRow(PclState& s, std::size_t& readPos) {
    RasterPage& page = s.surface.raster;
    if (!page.pageBits) return false;
    int64_t count = std::max<int32_t>(s.paramValue, 0);
    if (readPos > s.jobEnd || count > static_cast<int64_t>(s.jobEnd - readPos)) return false;

    int32_t row = s.rasterRow;
    if (s.rasterRow < INT32_MAX) ++s.rasterRow;
    if (row >= 0 && row < page.pageHeight && page.rowBytes > 0) {
        page.inkTop = std::min(page.inkTop, row);
        page.inkBottom = std::max(page.inkBottom, row + 1);
        int64_t rowStart = int64_t{row} * page.rowBytes;
        RowCursor cursor{page.pageBits, rowStart + s.rasterX / 8, rowStart + page.rowBytes,
                         s.rasterX % 8};
        const uint8_t* data = s.job + readPos;
        if (s.rasterX >= 0) {
            if (s.compression == kUnencoded) methodZero(cursor, data, count);
            if (s.compression == kRunLength) methodOne(cursor, data, count);
        }
    }
    readPos += static_cast<std::size_t>(count);
    return true;
}

}  // namespace zelmo
