// The simulated printer: the call trace, and sheets composed at device resolution.
#include "printers/simulated/simulated_printer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "platform/byte_order.h"
#include "platform/errors.h"
#include "platform/outline_fonts.h"

namespace zelmo {
namespace {

// Copies count pixels of a source row (ink where inkBit is the bit value) into a sheet row at
// bit dx, as ink = 1; invert turns the source over (NOTSRCCOPY).
void copyRowAligned(uint8_t* dst, int dx, const uint8_t* src, int sx, int count, int inkBit,
                    bool invert) {
    bool flip = (inkBit == 0) != invert;
    for (int i = 0; i < count;) {
        int k = std::min(48, count - i);
        int sb = sx + i;
        int first = sb >> 3;
        int bytes = ((sb & 7) + k + 7) >> 3;
        uint64_t acc = 0;
        for (int j = 0; j < bytes; ++j)
            acc |= uint64_t{src[first + j]} << (56 - 8 * j);
        acc <<= (sb & 7);
        uint64_t mask = ~(~uint64_t{0} >> k);
        uint64_t ink = (flip ? ~acc : acc) & mask;
        int db = dx + i;
        int shift = db & 7;
        int dfirst = db >> 3;
        int dbytes = (shift + k + 7) >> 3;
        uint64_t inkShifted = ink >> shift, maskShifted = mask >> shift;
        for (int j = 0; j < dbytes; ++j) {
            auto m = static_cast<uint8_t>(maskShifted >> (56 - 8 * j));
            auto v = static_cast<uint8_t>(inkShifted >> (56 - 8 * j));
            dst[dfirst + j] = static_cast<uint8_t>((dst[dfirst + j] & ~m) | v);
        }
        i += k;
    }
}

// copyRowAligned for long spans: the whole destination bytes in the middle are taken a byte at a
// time from one or two source bytes (a loop the compiler vectorises), the ragged ends bit-wise.
void copyRowFast(uint8_t* dst, int dx, const uint8_t* src, int sx, int count, int inkBit,
                 bool invert) {
    int head = std::min(count, (8 - (dx & 7)) & 7);
    if (head > 0) copyRowAligned(dst, dx, src, sx, head, inkBit, invert);
    dx += head;
    sx += head;
    count -= head;
    int whole = count >> 3;
    auto flip = static_cast<uint8_t>((inkBit == 0) != invert ? 0xFF : 0x00);
    uint8_t* out = dst + (dx >> 3);
    const uint8_t* in = src + (sx >> 3);
    int r = sx & 7;
    if (r == 0) {
        for (int k = 0; k < whole; ++k)
            out[k] = static_cast<uint8_t>(in[k] ^ flip);
    } else {
        for (int k = 0; k < whole; ++k)
            out[k] = static_cast<uint8_t>(((in[k] << r) | (in[k + 1] >> (8 - r))) ^ flip);
    }
    int done = whole * 8;
    if (count > done) copyRowAligned(dst, dx + done, src, sx + done, count - done, inkBit, invert);
}

// Whole-number enlargement of a row, where nearest neighbour makes every source pixel scale
// destination pixels: a table turns one source byte into its 8 x scale destination bits.
class RowWidener {
  public:
    // Readies the table for scale (2 to 8) and the buffers for rows of sourcePixels, for a
    // stretch with one source, span and colours.
    void prepare(int scale, int sourcePixels) {
        last_ = nullptr;
        if (scale != scale_) buildTable(scale);
        auto bytes = static_cast<size_t>(sourcePixels / 8 + 2);
        if (ink_.size() < bytes) ink_.resize(bytes);
        // Whole words are stored: room for the last one's spill.
        if (wide_.size() < bytes * static_cast<size_t>(scale) + 16)
            wide_.resize(bytes * static_cast<size_t>(scale) + 16);
    }
    // Pixels [sx, sx + n) of a source row as ink = 1, each made scale pixels wide, from bit 0.
    // Within one stretch: a row like the one widened last (the blank rows between lines of
    // text) is not widened again.
    const uint8_t* widen(const uint8_t* src, int sx, int n, int inkBit, bool invert) {
        const uint8_t* in = src + (sx >> 3);
        const size_t covered = static_cast<size_t>(((sx & 7) + n + 7) >> 3);
        if (last_ && std::memcmp(last_, in, covered) == 0) return wide_.data();
        last_ = in;
        auto flip = static_cast<uint8_t>((inkBit == 0) != invert ? 0xFF : 0x00);
        if (sx & 7) {
            copyRowFast(ink_.data(), 0, src, sx, n, inkBit, invert);
            in = ink_.data();
            flip = 0;
        }
        const size_t bytes = static_cast<size_t>(n + 7) / 8;
        // The table of the flipped bytes saves turning every byte over.
        const uint64_t* table = flip ? table_ + 256 : table_;
        if (scale_ == 2)
            widenWords<2>(in, table, bytes);
        else if (scale_ == 4)
            widenWords<4>(in, table, bytes);
        else if (scale_ == 8)
            widenWords<8>(in, table, bytes);
        else
            widenOverlapping(in, table, bytes);
        return wide_.data();
    }

  private:
    // For every byte value, its bits each repeated scale times, as the low 8 x scale bits; then
    // the same for the byte turned over.
    void buildTable(int scale) {
        scale_ = scale;
        for (int b = 0; b < 256; ++b) {
            uint64_t wide = 0;
            for (int bit = 7; bit >= 0; --bit)
                for (int k = 0; k < scale; ++k)
                    wide = wide << 1 | ((b >> bit) & 1);
            table_[b] = wide;
            table_[256 + (b ^ 0xFF)] = wide;
        }
    }
    // Scales 2, 4 and 8: 8 / Scale source bytes fill one word exactly.
    template <int Scale>
    void widenWords(const uint8_t* in, const uint64_t* table, size_t bytes) {
        constexpr size_t kPer = 8 / Scale;
        constexpr int kBits = 8 * Scale;
        // A shift by 64 is undefined: at scale 8 one source byte fills the word alone.
        auto join = [](uint64_t word, uint64_t next) {
            if constexpr (kBits == 64)
                return next;
            else
                return word << (kBits % 64) | next;
        };
        uint8_t* out = wide_.data();
        size_t b = 0;
        for (; b + kPer <= bytes; b += kPer, out += 8) {
            uint64_t word = 0;
            for (size_t j = 0; j < kPer; ++j)
                word = join(word, table[in[b + j]]);
            storeBe64(out, word);
        }
        // The last source bytes, never read past: the row may end at its bitmap's end.
        uint64_t word = 0;
        for (size_t j = 0; j < kPer; ++j)
            word = join(word, b + j < bytes ? table[in[b + j]] : 0);
        storeBe64(out, word);
    }
    // Other scales: a word per source byte, each store overlapping the next by 8 - scale bytes.
    void widenOverlapping(const uint8_t* in, const uint64_t* table, size_t bytes) {
        uint8_t* out = wide_.data();
        const int spare = 64 - 8 * scale_;
        for (size_t b = 0; b < bytes; ++b, out += scale_)
            storeBe64(out, table[in[b]] << spare);
    }

    int scale_ = 0;
    const uint8_t* last_ = nullptr;  // the source bytes behind wide_ in this stretch
    uint64_t table_[512] = {};
    std::vector<uint8_t> ink_, wide_;
};

// The ink of several source rows together (bit 0 = the first source pixel), and whether a range
// of it shows any: when shrinking, a destination pixel is black if any pixel under it is.
class InkUnion {
  public:
    // Readies the buffers for rows of pixels.
    void prepare(int pixels) {
        auto bytes = static_cast<size_t>(pixels / 8 + 16);
        if (acc_.size() >= bytes) return;
        acc_.resize(bytes);
        row_.resize(bytes);
    }
    void add(const uint8_t* src, int sx, int n, int inkBit, bool invert, bool first) {
        auto bytes = static_cast<size_t>(n + 7) / 8;
        if (!first && (sx & 7) == 0) {
            // Whole source bytes: one pass. Bits past n are never asked about.
            auto flip = static_cast<uint8_t>((inkBit == 0) != invert ? 0xFF : 0x00);
            uint64_t flipWord = flip ? ~uint64_t{0} : 0;
            const uint8_t* in = src + (sx >> 3);
            size_t b = 0;
            // A page at the largest resolution has rows of megabytes: a word at a time.
            for (; b + 8 <= bytes; b += 8) {
                uint64_t a, w;
                std::memcpy(&a, &acc_[b], 8);
                std::memcpy(&w, in + b, 8);
                a |= w ^ flipWord;
                std::memcpy(&acc_[b], &a, 8);
            }
            for (; b < bytes; ++b)
                acc_[b] |= static_cast<uint8_t>(in[b] ^ flip);
            return;
        }
        copyRowFast(first ? acc_.data() : row_.data(), 0, src, sx, n, inkBit, invert);
        if (first) return;
        for (size_t b = 0; b < bytes; ++b)
            acc_[b] |= row_[b];
    }
    bool any(int from, int to) const {
        for (int p = from; p < to; p += 56) {
            uint64_t word = 0;
            for (int j = 0; j < 8; ++j)
                word = word << 8 | acc_[static_cast<size_t>(p >> 3) + j];
            int k = std::min(56, to - p);
            if ((word << (p & 7)) & ~(~uint64_t{0} >> k)) return true;
        }
        return false;
    }

  private:
    std::vector<uint8_t> acc_, row_;
};

inline void setBit(uint8_t* row, int x, bool ink) {
    uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = ink ? (row[x >> 3] | m) : (row[x >> 3] & ~m);
}

// For each destination step i of a span of n pixels, the source range [from, to) that lands
// on it: one pixel by nearest neighbour when enlarging, every covered pixel when shrinking.
struct SpanMap {
    std::vector<int> from, to;
    // Maps n destination steps onto src source pixels, reusing the vectors' memory.
    void assign(int n, int src) {
        from.resize(static_cast<size_t>(n));
        to.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            if (n >= src) {
                from[i] = static_cast<int>((2 * int64_t{i} + 1) * src / (2 * int64_t{n}));
                to[i] = from[i] + 1;
            } else {
                from[i] = static_cast<int>(int64_t{i} * src / n);
                to[i] = std::max(from[i] + 1, static_cast<int>((int64_t{i} + 1) * src / n));
            }
        }
    }
};

// Where the pixels of one composed destination row lie: count pixels from bit at of bits, ink
// where the bit is inkBit (turned over when invert).
struct ComposedRow {
    const uint8_t* bits;
    int at;
    int inkBit;
    bool invert;
};

}  // namespace

// What a stretch keeps from page to page, so a page costs no allocation.
struct SimulatedPrinter::Scratch {
    SpanMap rows, cols;
    RowWidener widener;
    InkUnion under;
    std::vector<uint8_t> line;
};

long Sheet::blackCount() const {
    long n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            n += black(x, y);
    return n;
}

void Sheet::reset(int w, int h) {
    width = w;
    height = h;
    stride = (w + 7) / 8;
    bits.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
    text.clear();
}

void MemorySheets::beginDocument(const std::string& title) {
    documents.push_back({title, {}, false, false});
}

void MemorySheets::sheet(const Sheet& sheet) {
    if (!documents.empty()) documents.back().sheets.push_back(sheet);
}

void MemorySheets::endDocument() {
    if (!documents.empty()) documents.back().ended = true;
}

void MemorySheets::abortDocument() {
    if (documents.empty()) return;
    documents.back().aborted = true;
    documents.back().sheets.clear();
}

std::vector<const Sheet*> MemorySheets::printedSheets() const {
    std::vector<const Sheet*> out;
    for (const Document& d : documents)
        if (d.ended && !d.aborted)
            for (const Sheet& s : d.sheets)
                out.push_back(&s);
    return out;
}

SimulatedPrinter::SimulatedPrinter(SimulatedPrinterConfig config)
    : config_(std::move(config)), scratch_(new Scratch) {}

// Out of line, where Scratch is complete.
SimulatedPrinter::~SimulatedPrinter() = default;

PrinterCanvas* SimulatedPrinter::deviceContext() {
    return available_.load() ? static_cast<PrinterCanvas*>(this) : nullptr;
}

void SimulatedPrinter::record(const std::string& line) {
    if (recordCalls_) calls_.push_back(line);
    if (trace_) *trace_ << line << '\n';
}

void SimulatedPrinter::startDoc(const std::string& title) {
    if (!available_.load()) throw PrinterError("Printer selected is not valid");
    if (startDocHook_) startDocHook_(documentsBegun_);
    // Like a spooler, the simulated print system holds the document from its start.
    submitting();
    ++documentsBegun_;
    record("begin \"" + title + "\"");
    docAborted_ = false;
    sink_->beginDocument(title);
    if (compose_) newSheet();
}

void SimulatedPrinter::startPage() {
    record("page");
    if (compose_) newSheet();
}

// A blank sheet of the configured size. It is cleared only when first drawn on: a page stretched
// over the whole printable area clears just the margins, not every pixel before writing it.
void SimulatedPrinter::newSheet() {
    sheet_.width = config_.width;
    sheet_.height = config_.height;
    sheet_.stride = (config_.width + 7) / 8;
    sheet_.bits.resize(static_cast<size_t>(sheet_.stride) * static_cast<size_t>(sheet_.height));
    // The lines belong to the sheet they were printed on, not to every later one.
    sheet_.text.clear();
    sheetBlank_ = true;
}

// Makes a blank sheet white everywhere, for drawing that does not clear as it goes.
void SimulatedPrinter::clearBlankSheet() {
    if (!sheetBlank_) return;
    std::fill(sheet_.bits.begin(), sheet_.bits.end(), 0);
    sheetBlank_ = false;
}

void SimulatedPrinter::endPage() {
    if (docAborted_ || !compose_) return;
    clearBlankSheet();
    // A printer that makes copies itself prints each page that many times.
    int copies = config_.copiesCapable ? std::max(1, copyCount_) : 1;
    for (int i = 0; i < copies; ++i)
        sink_->sheet(sheet_);
}

void SimulatedPrinter::finishDoc() {
    record("end");
    sink_->endDocument();
}

void SimulatedPrinter::abortDoc() {
    record("abort");
    docAborted_ = true;
    sink_->abortDocument();
}

void SimulatedPrinter::applyCopies(short count) {
    record("copies " + std::to_string(count));
    copyCount_ = count;
}

int SimulatedPrinter::deviceCaps(DeviceCap cap) const {
    const SimulatedPrinterConfig& c = config_;
    switch (cap) {
        case DeviceCap::HorzRes:
            return c.width - c.left - c.right;
        case DeviceCap::VertRes:
            return c.height - c.top - c.bottom;
        case DeviceCap::PhysicalWidth:
            return c.width;
        case DeviceCap::PhysicalHeight:
            return c.height;
        case DeviceCap::PhysicalOffsetX:
            return c.left;
        case DeviceCap::PhysicalOffsetY:
            return c.top;
        case DeviceCap::LogPixelsX:
        case DeviceCap::LogPixelsY:
            return c.dpi;
    }
    return 0;
}

void SimulatedPrinter::stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy,
                                  int sw, int sh, Rop rop) {
    // The line is built only for someone who reads it: a page costs no allocation otherwise.
    if (recordCalls_ || trace_)
        record("stretch " + std::to_string(dx) + " " + std::to_string(dy) + " " +
               std::to_string(dw) + " " + std::to_string(dh) + " " + std::to_string(sw) + " " +
               std::to_string(sh) + (rop == Rop::SrcCopy ? " SRCCOPY" : " NOTSRCCOPY"));
    if (!compose_ || !printing() || docAborted_) return;
    gdi::BitmapView view = gdi::viewSelectedBitmap(src);
    if (view.width == 0 || dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return;
    // Only the part of the source inside its bitmap can be read.
    if (sx < 0 || sy < 0 || sx + int64_t{sw} > view.width || sy + int64_t{sh} > view.height) return;

    Stretch st{view, sx, sy, sw, sh, std::abs(dw), std::abs(dh), dw > 0 ? 1 : -1, dh > 0 ? 1 : -1};
    // Steps i whose device pixel origin + step * i lies in the printable area [0, extent).
    auto visible = [](int origin, int step, int n, int extent, int& lo, int& hi) {
        int64_t a = step > 0 ? -int64_t{origin} : int64_t{origin} - (extent - 1);
        int64_t b = step > 0 ? int64_t{extent} - 1 - origin : origin;
        lo = static_cast<int>(std::max<int64_t>(a, 0));
        hi = static_cast<int>(std::min<int64_t>(b, n - 1));
    };
    visible(dx, st.stepX, st.nx, deviceCaps(DeviceCap::HorzRes), st.xLo, st.xHi);
    visible(dy, st.stepY, st.ny, deviceCaps(DeviceCap::VertRes), st.yLo, st.yHi);
    if (st.xLo > st.xHi || st.yLo > st.yHi) return;
    st.inkBit = view.inkFor[1] ? 1 : 0;
    st.invert = rop == Rop::NotSrcCopy;
    // The sheet column of the span's leftmost visible pixel (a mirrored span runs leftwards).
    st.left = config_.left + dx + (st.stepX > 0 ? st.xLo : -st.xHi);
    st.originX = config_.left + dx;
    st.originY = config_.top + dy;
    stretchRows(st);
}

// Writes the visible rows of a stretch, composing each distinct set of source rows once.
void SimulatedPrinter::stretchRows(const Stretch& st) {
    Scratch& k = *scratch_;
    k.rows.assign(st.ny, st.sh);
    const bool oneToOne = st.nx == st.sw && st.stepX > 0;
    const bool wholeScale =
        st.stepX > 0 && st.nx > st.sw && st.nx % st.sw == 0 && st.nx / st.sw <= 8;
    k.cols.assign(oneToOne || wholeScale ? 0 : st.nx, st.sw);
    if (wholeScale) k.widener.prepare(st.nx / st.sw, st.sw);
    k.under.prepare(st.sw);
    k.line.resize(static_cast<size_t>(sheet_.stride) + 8);

    const int count = st.xHi - st.xLo + 1;
    const int rowA = st.originY + st.stepY * st.yLo, rowB = st.originY + st.stepY * st.yHi;
    const bool clearing = sheetBlank_;
    if (clearing) clearOutside(std::min(rowA, rowB), std::max(rowA, rowB), st.left, count);
    ComposedRow composed{nullptr, 0, 1, false};
    int lastFrom = -1, lastTo = -1;
    for (int i = st.yLo; i <= st.yHi; ++i) {
        // Asked to stop, the rest is left undone (the sheet goes with its aborted document); a
        // sheet that was blank before is blank again, whatever rows were written.
        if (stop_ && stop_->load(std::memory_order_relaxed)) {
            sheetBlank_ = sheetBlank_ || clearing;
            return;
        }
        const int from = k.rows.from[i], to = k.rows.to[i];
        // Rows that repeat the source rows of the one before are written from the same pixels.
        if (from != lastFrom || to != lastTo) {
            lastFrom = from;
            lastTo = to;
            if (to - from == 1 && oneToOne) {
                composed = {st.view.row(st.sy + from), st.sx + st.xLo, st.inkBit, st.invert};
            } else if (to - from == 1 && wholeScale) {
                const uint8_t* srcRow = st.view.row(st.sy + from);
                composed = {k.widener.widen(srcRow, st.sx, st.sw, st.inkBit, st.invert), st.xLo, 1,
                            false};
            } else {
                composeLine(st, from, to, oneToOne);
                composed = {k.line.data(), st.left, 1, false};
            }
        }
        uint8_t* out =
            sheet_.bits.data() + static_cast<size_t>(st.originY + st.stepY * i) * sheet_.stride;
        copyRowFast(out, st.left, composed.bits, composed.at, count, composed.inkBit,
                    composed.invert);
    }
}

// Clears a blank sheet except where a stretch will write every pixel: the visible span of rows
// rowA to rowB. A byte the span only partly covers is cleared too, as the copy keeps its other
// bits.
void SimulatedPrinter::clearOutside(int rowA, int rowB, int left, int count) {
    uint8_t* bits = sheet_.bits.data();
    const auto stride = static_cast<size_t>(sheet_.stride);
    std::memset(bits, 0, static_cast<size_t>(rowA) * stride);
    std::memset(bits + static_cast<size_t>(rowB + 1) * stride, 0,
                static_cast<size_t>(sheet_.height - rowB - 1) * stride);
    const auto head = static_cast<size_t>((left + 7) >> 3);
    const auto tail = static_cast<size_t>((left + count) >> 3);
    sheetBlank_ = false;
    // A span over whole rows, the usual page, leaves nothing to clear beside it.
    if (head == 0 && tail == stride) return;
    // An edge of a few bytes is cleared as one word: what it clears of the span is written next.
    const bool words = stride >= 8;
    const uint64_t zero = 0;
    for (int y = rowA; y <= rowB; ++y) {
        uint8_t* row = bits + static_cast<size_t>(y) * stride;
        if (head > 0 && words && head <= 8)
            std::memcpy(row, &zero, 8);
        else if (head > 0)
            std::memset(row, 0, head);
        if (tail < stride && words && stride - tail <= 8)
            std::memcpy(row + stride - 8, &zero, 8);
        else if (tail < stride)
            std::memset(row + tail, 0, stride - tail);
    }
}

// Composes, at sheet columns, the destination row that source rows [from, to) make when they
// cannot be copied straight: shrinking, mirroring, or a scale that is not a whole number.
void SimulatedPrinter::composeLine(const Stretch& st, int from, int to, bool oneToOne) {
    Scratch& k = *scratch_;
    std::fill(k.line.begin(), k.line.end(), 0);
    for (int r = from; r < to; ++r)
        k.under.add(st.view.row(st.sy + r), st.sx, st.sw, st.inkBit, st.invert, r == from);
    for (int j = st.xLo; j <= st.xHi; ++j) {
        int f = oneToOne ? j : k.cols.from[j], t = oneToOne ? j + 1 : k.cols.to[j];
        if (k.under.any(f, t)) setBit(k.line.data(), st.originX + st.stepX * j, true);
    }
}

void SimulatedPrinter::setPenWidth(int width) {
    record("pen " + std::to_string(width));
    penWidth_ = std::max(1, width);
}

void SimulatedPrinter::moveTo(int x, int y) {
    record("move " + std::to_string(x) + " " + std::to_string(y));
    penX_ = x;
    penY_ = y;
}

void SimulatedPrinter::lineTo(int x, int y) {
    record("line " + std::to_string(x) + " " + std::to_string(y));
    if (compose_ && printing() && !docAborted_) {
        // A wide pen fills penWidth pixels across the line, centred on it; GDI leaves out the
        // end point.
        int half = penWidth_ / 2;
        if (y == penY_) {
            fillRect(std::min(penX_, x), y - half, std::max(penX_, x), y - half + penWidth_);
        } else if (x == penX_) {
            fillRect(x - half, std::min(penY_, y), x - half + penWidth_, std::max(penY_, y));
        } else {
            int steps = std::max(std::abs(x - penX_), std::abs(y - penY_));
            for (int i = 0; i < steps; ++i) {
                int px = penX_ + static_cast<int>(int64_t{x - penX_} * i / steps);
                int py = penY_ + static_cast<int>(int64_t{y - penY_} * i / steps);
                fillRect(px - half, py - half, px - half + penWidth_, py - half + penWidth_);
            }
        }
    }
    penX_ = x;
    penY_ = y;
}

void SimulatedPrinter::textOut(int x, int y, const std::string& text) {
    record("text " + std::to_string(x) + " " + std::to_string(y) + " \"" + text + "\"");
}

// Keeps the page's text lines with the sheet, in sheet pixels.
void SimulatedPrinter::textLayer(const TextLayer& layer) {
    if (!recordText_ || !compose_ || !printing() || docAborted_) return;
    for (const TextLine& line : layer.lines) {
        TextBox b = line.box;
        sheet_.text.push_back({{b.left + config_.left, b.top + config_.top, b.right + config_.left,
                                b.bottom + config_.top},
                               lineText(layer, line)});
    }
}

// Traces monospaced text, and keeps it as a line of the sheet's text.
void SimulatedPrinter::textOutCells(int x, int y, int cellWidth, int cellHeight,
                                    const std::string& text) {
    record("cells " + std::to_string(x) + " " + std::to_string(y) + " " +
           std::to_string(cellWidth) + " " + std::to_string(cellHeight) + " \"" + text + "\"");
    if (!compose_ || !printing() || docAborted_) return;
    drawCells(x, y, cellWidth, cellHeight, text);
    if (!recordText_) return;
    // One cell per character: count the UTF-8 lead bytes.
    int32_t cells = 0;
    for (unsigned char c : text)
        cells += (c & 0xC0) != 0x80;
    const int32_t left = x + config_.left, top = y + config_.top;
    sheet_.text.push_back({{left, top, left + cells * cellWidth, top + cellHeight}, text});
}

namespace {

// The code point of the UTF-8 sequence at text[i], i moved past it; U+FFFD for a broken one.
char32_t nextCodePoint(const std::string& text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0) return 0xFFFD;
    char32_t code = more == 0 ? lead : lead & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        code = code << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return code;
}

}  // namespace

// Draws monospaced text as the PDF printer prints it: the bare-text font scaled so one
// character fills one cell's width, its line centred in the cell's height.
void SimulatedPrinter::drawCells(int x, int y, int cellWidth, int cellHeight,
                                 const std::string& text) {
    OutlineFonts* fonts = platformOutlineFonts();
    const OutlineFace face{OutlineFamily::Cells, false, false};
    double advance = 0, ascent = 0, descent = 0;
    if (!fonts || cellWidth <= 0 || cellHeight <= 0 ||
        !fonts->metrics(face, advance, ascent, descent) || advance <= 0)
        return;
    const double size = cellWidth / advance;
    const int em = static_cast<int>(size + 0.5);
    const int baseline = y + static_cast<int>((cellHeight + (ascent + descent) * size) / 2);
    const int right = deviceCaps(DeviceCap::HorzRes), bottom = deviceCaps(DeviceCap::VertRes);
    clearBlankSheet();
    int pen = x;
    for (std::size_t i = 0; i < text.size(); pen += cellWidth) {
        const char32_t code = nextCodePoint(text, i);
        if (code == U' ') continue;
        // Each character is rendered once per size: a page of text repeats a few dozen.
        const uint64_t key = uint64_t(code) | uint64_t(em) << 32;
        auto found = cellGlyphs_.find(key);
        if (found == cellGlyphs_.end()) {
            OutlineGlyph g;
            fonts->render(face, em, em, code, g);
            found = cellGlyphs_.emplace(key, std::move(g)).first;
        }
        const OutlineGlyph& g = found->second;
        if (!g.found) continue;
        for (int gy = 0; gy < g.height; ++gy) {
            const int py = baseline - g.top + gy;
            if (py < 0 || py >= bottom) continue;
            uint8_t* row =
                sheet_.bits.data() + static_cast<size_t>(config_.top + py) * sheet_.stride;
            const uint8_t* bits = g.bits.data() + static_cast<size_t>(gy) * g.stride;
            const int left = pen + g.left;
            if (left >= 0 && left + g.width <= right) {
                // Wholly inside: whole bytes, shifted into place.
                const int sx = config_.left + left, shift = sx & 7;
                uint8_t* out = row + (sx >> 3);
                for (int j = 0; j < g.stride; ++j) {
                    out[j] = static_cast<uint8_t>(out[j] | bits[j] >> shift);
                    const auto spill = static_cast<uint8_t>(shift ? bits[j] << (8 - shift) : 0);
                    if (spill) out[j + 1] = static_cast<uint8_t>(out[j + 1] | spill);
                }
                continue;
            }
            for (int gx = 0; gx < g.width; ++gx) {
                const int px = pen + g.left + gx;
                if (px >= 0 && px < right &&
                    ((g.bits[static_cast<size_t>(gy) * g.stride + (gx >> 3)] >> (7 - (gx & 7))) &
                     1))
                    setBit(row, config_.left + px, true);
            }
        }
    }
}

void SimulatedPrinter::fillRect(int x0, int y0, int x1, int y1) {
    const SimulatedPrinterConfig& c = config_;
    clearBlankSheet();
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, deviceCaps(DeviceCap::HorzRes));
    y1 = std::min(y1, deviceCaps(DeviceCap::VertRes));
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = sheet_.bits.data() + static_cast<size_t>(c.top + y) * sheet_.stride;
        for (int x = x0; x < x1; ++x)
            setBit(row, c.left + x, true);
    }
}

}  // namespace zelmo
