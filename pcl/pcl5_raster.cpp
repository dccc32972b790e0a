// The raster compression methods 0, 1, 2, 3 and 5 into the seed row, bounds-checked at every
// step: a count that runs past the data or the row is cut there.
#include "pcl/pcl5_raster.h"

#include <algorithm>
#include <cstring>

namespace zelmo {
namespace {

// Method 0: the bytes as they are; the rest of the row blank.
void unencoded(uint8_t* row, std::size_t size, const uint8_t* data, std::size_t count) {
    const std::size_t n = std::min(size, count);
    if (n > 0) std::memcpy(row, data, n);  // an empty transfer may come with no data at all
    std::memset(row + n, 0, size - n);
}

// Method 1: pairs of a repeat count less one and a byte.
void runLength(uint8_t* row, std::size_t size, const uint8_t* data, std::size_t count) {
    std::size_t q = 0;
    for (std::size_t i = 0; i + 1 < count && q < size; i += 2) {
        const std::size_t n = std::min<std::size_t>(data[i] + 1u, size - q);
        std::memset(row + q, data[i + 1], n);
        q += n;
    }
    std::memset(row + q, 0, size - q);
}

// Method 2: a control byte n, then n + 1 literal bytes (n >= 0) or one byte 1 - n times
// (n < 0; -128 is no operation).
void packBits(uint8_t* row, std::size_t size, const uint8_t* data, std::size_t count) {
    std::size_t q = 0, i = 0;
    while (i < count && q < size) {
        const int n = static_cast<int8_t>(data[i++]);
        if (n >= 0) {
            const std::size_t take = std::min({std::size_t(n) + 1, count - i, size - q});
            std::memcpy(row + q, data + i, take);
            q += take;
            i += std::size_t(n) + 1;
        } else if (n != -128 && i < count) {
            const std::size_t take = std::min(std::size_t(1 - n), size - q);
            std::memset(row + q, data[i++], take);
            q += take;
        }
    }
    std::memset(row + q, 0, size - q);
}

// Method 3: command bytes, each replacing 1 to 8 bytes of the previous row at an offset from
// the end of the last replacement (offset 31 continues in the bytes after, up to one below 255).
void deltaRow(uint8_t* row, std::size_t size, const uint8_t* data, std::size_t count) {
    std::size_t q = 0, i = 0;
    while (i < count) {
        const uint8_t command = data[i++];
        const std::size_t replaced = (command >> 5) + 1u;
        std::size_t offset = command & 0x1F;
        if (offset == 31) {
            uint8_t more = 255;
            while (more == 255 && i < count) {
                more = data[i++];
                offset += more;
            }
        }
        q += offset;
        const std::size_t take = std::min(replaced, count - i);
        if (q < size) std::memcpy(row + q, data + i, std::min(take, size - q));
        q = std::min(q + take, size);
        i += take;
    }
}

}  // namespace

void RasterDecoder::start(std::size_t rowBytes) {
    seed_.assign(rowBytes, 0);
}

void RasterDecoder::clearSeed() {
    std::fill(seed_.begin(), seed_.end(), 0);
}

// Decodes one row into the seed row.
void RasterDecoder::decodeRow(int32_t method, const uint8_t* data, std::size_t count) {
    uint8_t* row = seed_.data();
    const std::size_t size = seed_.size();
    if (method == kPcl5Unencoded) unencoded(row, size, data, count);
    if (method == kPcl5RunLength) runLength(row, size, data, count);
    if (method == kPcl5PackBits) packBits(row, size, data, count);
    if (method == kPcl5DeltaRow) deltaRow(row, size, data, count);
}

void RasterDecoder::transfer(int32_t method, const uint8_t* data, std::size_t count,
                             RasterRowSink& sink) {
    if (method == kPcl5Adaptive) {
        adaptive(data, count, sink);
        return;
    }
    if (method < kPcl5Unencoded || method > kPcl5DeltaRow) return;
    decodeRow(method, data, count);
    sink.row(seed_.data(), seed_.size());
}

// Method 5: blocks of a method byte and a 16-bit count: methods 0 to 3 make one row of count
// bytes, 4 makes count blank rows, 5 repeats the last row count times.
void RasterDecoder::adaptive(const uint8_t* data, std::size_t count, RasterRowSink& sink) {
    std::size_t i = 0;
    while (i + 3 <= count) {
        const uint8_t method = data[i];
        const std::size_t n = std::size_t{data[i + 1]} << 8 | data[i + 2];
        i += 3;
        if (method <= kPcl5DeltaRow) {
            const std::size_t take = std::min(n, count - i);
            decodeRow(method, data + i, take);
            sink.row(seed_.data(), seed_.size());
            i += take;
        } else if (method == 4) {
            clearSeed();
            sink.skipRows(n);
        } else if (method == 5) {
            for (std::size_t k = 0; k < n; ++k)
                if (!sink.row(seed_.data(), seed_.size())) break;
        } else {
            return;  // the rest of the block cannot be read
        }
    }
}

}  // namespace zelmo
