// The Group 4 coder: each row is coded against the row above by its changing elements (the
// pixels whose colour differs from their left neighbour's), found 64 pixels at a time.
#include "printers/pdf/ccitt_g4.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

namespace zelmo::pdf {
namespace {

// A code of the recommendation: its bits, right-aligned, and how many there are.
struct Code {
    uint16_t bits;
    uint8_t length;
};

// Terminating codes of white runs 0..63.
constexpr Code kWhiteRun[64] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
};

// Terminating codes of black runs 0..63.
constexpr Code kBlackRun[64] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
};

// Make-up codes of white runs 64, 128, .. 2560 (index k for 64 (k + 1)); from 1792 on both
// colours share them.
constexpr Code kWhiteMakeUp[40] = {
    {0x1B, 5},  {0x12, 5},  {0x17, 6},  {0x37, 7},  {0x36, 8},  {0x37, 8},  {0x64, 8},  {0x65, 8},
    {0x68, 8},  {0x67, 8},  {0xCC, 9},  {0xCD, 9},  {0xD2, 9},  {0xD3, 9},  {0xD4, 9},  {0xD5, 9},
    {0xD6, 9},  {0xD7, 9},  {0xD8, 9},  {0xD9, 9},  {0xDA, 9},  {0xDB, 9},  {0x98, 9},  {0x99, 9},
    {0x9A, 9},  {0x18, 6},  {0x9B, 9},  {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12},
    {0x14, 12}, {0x15, 12}, {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

// Make-up codes of black runs 64, 128, .. 2560.
constexpr Code kBlackMakeUp[40] = {
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12}, {0x6C, 13},
    {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13}, {0x73, 13}, {0x74, 13},
    {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13}, {0x54, 13}, {0x55, 13}, {0x5A, 13},
    {0x5B, 13}, {0x64, 13}, {0x65, 13}, {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12},
    {0x14, 12}, {0x15, 12}, {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

constexpr Code kPass = {0x1, 4};
constexpr Code kHorizontal = {0x1, 3};
// Vertical codes by b1 - a1, from -3 (a1 three pixels right of b1) to 3.
constexpr Code kVertical[7] = {{0x03, 7}, {0x03, 6}, {0x3, 3}, {0x1, 1},
                               {0x2, 3},  {0x02, 6}, {0x02, 7}};
constexpr Code kEndOfLine = {0x1, 12};

// The number of zero bits above the highest 1 bit of a non-zero word.
inline int leadingZeros(uint64_t v) {
#if defined(__GNUC__)
    return __builtin_clzll(v);
#else
    int n = 0;
    for (uint64_t bit = uint64_t{1} << 63; !(v & bit); bit >>= 1)
        ++n;
    return n;
#endif
}

// Codes packed most significant bit first into out, which grows as needed.
class BitWriter {
  public:
    // Appends after what out holds.
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out), start_(out.size()), used_(start_) {}

    // Appends the low length bits of bits, length at most 32.
    void put(uint32_t bits, int length) {
        pending_ = (pending_ << length) | bits;
        count_ += length;
        if (count_ < 32) return;
        count_ -= 32;
        if (used_ + 4 > out_.size()) out_.resize(std::max(out_.size() * 2, used_ + 4096));
        const auto word = static_cast<uint32_t>(pending_ >> count_);
        out_[used_] = static_cast<uint8_t>(word >> 24);
        out_[used_ + 1] = static_cast<uint8_t>(word >> 16);
        out_[used_ + 2] = static_cast<uint8_t>(word >> 8);
        out_[used_ + 3] = static_cast<uint8_t>(word);
        used_ += 4;
    }
    // Appends a code of the tables.
    void put(Code code) { put(code.bits, code.length); }
    // Bytes written so far.
    size_t size() const { return used_ - start_; }
    // Takes back everything written, leaving out as it was.
    void discard() { out_.resize(start_); }
    // Pads the last byte with zeros and trims out to the code.
    void finish() {
        if (count_ % 8) put(0, 8 - count_ % 8);
        out_.resize(used_ + static_cast<size_t>(count_ / 8));
        for (int shift = count_ - 8, i = 0; shift >= 0; shift -= 8, ++i)
            out_[used_ + static_cast<size_t>(i)] = static_cast<uint8_t>(pending_ >> shift);
        used_ += static_cast<size_t>(count_ / 8);
        count_ = 0;
    }

  private:
    std::vector<uint8_t>& out_;
    size_t start_;
    size_t used_;
    uint64_t pending_ = 0;
    int count_ = 0;  // bits of pending_ not yet in out_
};

// The run of length pixels of one colour: make-up codes while it is longer than 63, then the
// terminating code.
void putRun(BitWriter& bits, int length, bool white) {
    const Code* makeUp = white ? kWhiteMakeUp : kBlackMakeUp;
    while (length >= 2560 + 64) {
        bits.put(makeUp[39]);
        length -= 2560;
    }
    if (length >= 64) {
        bits.put(makeUp[length / 64 - 1]);
        length %= 64;
    }
    bits.put(white ? kWhiteRun[length] : kBlackRun[length]);
}

// Lists the changing elements of a packed row (the pixels whose colour differs from their
// left neighbour's; an imaginary white pixel precedes the row) into changes, which has room for
// width + 3, followed by three at the width. Even entries turn black, odd ones white. Returns
// how many there are.
int listChanges(const uint8_t* row, int width, uint64_t flip, int* changes) {
    const size_t bytes = static_cast<size_t>(width + 7) / 8;
    int n = 0;
    uint64_t before = 0;  // the pixel left of the word, in its lowest bit
    for (size_t i = 0; i < bytes; i += 8) {
        uint64_t word;
        if (i + 8 <= bytes) {
            word = loadBe64(row + i);
        } else {
            word = 0;
            for (size_t k = i, shift = 56; k < bytes; ++k, shift -= 8)
                word |= static_cast<uint64_t>(row[k]) << shift;
        }
        word ^= flip;
        uint64_t edges = word ^ ((word >> 1) | (before << 63));
        before = word & 1;
        const int x = static_cast<int>(i * 8);
        // Past the width lie padding bits: no changes of the row.
        if (width - x < 64) edges &= ~(~uint64_t{0} >> (width - x));
        while (edges) {
            const int skip = leadingZeros(edges);
            changes[n++] = x + skip;
            edges ^= (uint64_t{1} << 63) >> skip;
        }
    }
    changes[n] = changes[n + 1] = changes[n + 2] = width;
    return n;
}

// Codes one row from its changing elements against those of the row above.
void encodeRow(BitWriter& bits, const int* cur, const int* ref, int width) {
    int a0 = -1;         // the imaginary white pixel before the row at first
    bool black = false;  // the colour from a0 on
    int i = 0;           // cur[i] is a1, the first change after a0
    int j = 0;           // ref[j] is b1 once moved past a0 to a change into the other colour
    for (;;) {
        // A vertical code may leave a0 left of the last b1, with changes of the row above
        // between them: b1 is then found again from further back.
        while (j > 0 && ref[j - 1] > a0)
            --j;
        while (ref[j] <= a0 && ref[j] < width)
            ++j;
        // Even changes turn black: from white, b1 is at an even entry, from black at an odd one.
        // Past the last change every entry is the width.
        if ((j & 1) != static_cast<int>(black) && ref[j] < width) ++j;
        const int a1 = cur[i], b1 = ref[j], b2 = ref[j + 1];
        if (b2 < a1) {
            bits.put(kPass);
            a0 = b2;
        } else if (b1 - a1 >= -3 && b1 - a1 <= 3) {
            bits.put(kVertical[b1 - a1 + 3]);
            a0 = a1;
            black = !black;
            ++i;
        } else {
            const int a2 = cur[i + 1];
            bits.put(kHorizontal);
            putRun(bits, a1 - std::max(a0, 0), !black);
            putRun(bits, a2 - a1, black);
            a0 = a2;
            i += 2;
        }
        if (a0 >= width) return;
    }
}

}  // namespace

// Codes row after row, each against the one above (all white above the first).
bool G4Encoder::encode(const uint8_t* rows, int width, int height, bool oneIsBlack, size_t limit,
                       std::vector<uint8_t>& out) {
    // Range check input: an image without pixels is the end-of-block code alone.
    const size_t room = width > 0 ? static_cast<size_t>(width) + 3 : 3;
    coding_.assign(room, 0);
    reference_.assign(room, 0);
    int referenceCount = 0;
    std::fill(reference_.begin(), reference_.begin() + 3, width);
    const size_t rowBytes = width > 0 ? static_cast<size_t>(width + 7) / 8 : 0;
    const uint64_t flip = oneIsBlack ? 0 : ~uint64_t{0};
    // Each row may use its share of the limit and a little more: a page whose code outgrows it
    // early is given up at once instead of after a whole page of work.
    const size_t share = height > 0 ? limit / static_cast<size_t>(height) : 0;
    const size_t slack = limit / 16;
    BitWriter bits(out);
    for (int y = 0; width > 0 && y < height; ++y) {
        const int count =
            listChanges(rows + rowBytes * static_cast<size_t>(y), width, flip, coding_.data());
        if (count == referenceCount &&
            std::equal(coding_.begin(), coding_.begin() + count, reference_.begin())) {
            // The same row again is one vertical-0 code per change and one for the row's end.
            for (int n = count + 1; n > 0; n -= 32)
                bits.put(0xFFFFFFFFu >> (32 - std::min(n, 32)), std::min(n, 32));
        } else {
            encodeRow(bits, coding_.data(), reference_.data(), width);
            coding_.swap(reference_);
            referenceCount = count;
        }
        if (bits.size() > share * static_cast<size_t>(y + 1) + slack) {
            bits.discard();
            return false;
        }
    }
    // The end-of-block code is two end-of-line codes.
    bits.put(kEndOfLine);
    bits.put(kEndOfLine);
    bits.finish();
    return true;
}

}  // namespace zelmo::pdf
