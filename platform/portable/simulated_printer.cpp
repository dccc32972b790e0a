// The simulated printer: the call trace, and sheets composed at device resolution.
#include "platform/portable/simulated_printer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/errors.h"

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
// destination pixels: a table turns one source byte into scale destination bytes.
class RowWidener {
  public:
    RowWidener(int scale, int sourcePixels)
        : scale_(scale),
          table_(static_cast<size_t>(256 * scale), 0),
          ink_(static_cast<size_t>(sourcePixels / 8 + 2), 0),
          wide_(ink_.size() * static_cast<size_t>(scale), 0) {
        for (int b = 0; b < 256; ++b)
            for (int bit = 0; bit < 8; ++bit)
                for (int k = 0; b & (0x80 >> bit) && k < scale; ++k) {
                    int p = bit * scale + k;
                    table_[static_cast<size_t>(b * scale + p / 8)] |=
                        static_cast<uint8_t>(0x80 >> (p % 8));
                }
    }
    // Pixels [sx, sx + n) of a source row as ink = 1, each made scale pixels wide, from bit 0.
    const uint8_t* widen(const uint8_t* src, int sx, int n, int inkBit, bool invert) {
        copyRowFast(ink_.data(), 0, src, sx, n, inkBit, invert);
        auto step = static_cast<size_t>(scale_);
        for (size_t b = 0; b < static_cast<size_t>(n + 7) / 8; ++b)
            std::memcpy(&wide_[b * step], &table_[ink_[b] * step], step);
        return wide_.data();
    }

  private:
    int scale_;
    std::vector<uint8_t> table_, ink_, wide_;
};

// The ink of several source rows together (bit 0 = the first source pixel), and whether a range
// of it shows any: when shrinking, a destination pixel is black if any pixel under it is.
class InkUnion {
  public:
    explicit InkUnion(int pixels)
        : acc_(static_cast<size_t>(pixels / 8 + 16), 0), row_(acc_.size(), 0) {}
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
    SpanMap(int n, int src) : from(n), to(n) {
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

}  // namespace

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

SimulatedPrinter::SimulatedPrinter(SimulatedPrinterConfig config) : config_(std::move(config)) {}

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
    ++documentsBegun_;
    record("begin \"" + title + "\"");
    docAborted_ = false;
    sink_->beginDocument(title);
    if (compose_) sheet_.reset(config_.width, config_.height);
}

void SimulatedPrinter::startPage() {
    record("page");
    if (compose_) sheet_.reset(config_.width, config_.height);
}

void SimulatedPrinter::endPage() {
    if (docAborted_ || !compose_) return;
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
    record("stretch " + std::to_string(dx) + " " + std::to_string(dy) + " " + std::to_string(dw) +
           " " + std::to_string(dh) + " " + std::to_string(sw) + " " + std::to_string(sh) +
           (rop == Rop::SrcCopy ? " SRCCOPY" : " NOTSRCCOPY"));
    if (!compose_ || !printing() || docAborted_) return;
    gdi::BitmapView view = gdi::viewSelectedBitmap(src);
    if (view.width == 0 || dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return;
    // Only the part of the source inside its bitmap can be read.
    if (sx < 0 || sy < 0 || sx + int64_t{sw} > view.width || sy + int64_t{sh} > view.height) return;

    const SimulatedPrinterConfig& c = config_;
    int nx = std::abs(dw), ny = std::abs(dh);
    int stepX = dw > 0 ? 1 : -1, stepY = dh > 0 ? 1 : -1;
    // Steps i whose device pixel dx + stepX * i lies in the printable area [0, horzRes).
    auto visible = [](int origin, int step, int n, int extent, int& lo, int& hi) {
        int64_t a = step > 0 ? -int64_t{origin} : int64_t{origin} - (extent - 1);
        int64_t b = step > 0 ? int64_t{extent} - 1 - origin : origin;
        lo = static_cast<int>(std::max<int64_t>(a, 0));
        hi = static_cast<int>(std::min<int64_t>(b, n - 1));
    };
    int xLo, xHi, yLo, yHi;
    visible(dx, stepX, nx, deviceCaps(DeviceCap::HorzRes), xLo, xHi);
    visible(dy, stepY, ny, deviceCaps(DeviceCap::VertRes), yLo, yHi);
    if (xLo > xHi || yLo > yHi) return;

    int inkBit = view.inkFor[1] ? 1 : 0;
    bool invert = rop == Rop::NotSrcCopy;
    SpanMap rows(ny, sh);
    bool oneToOne = nx == sw && stepX > 0;
    SpanMap cols(oneToOne ? 0 : nx, sw);
    bool wholeScale = stepX > 0 && nx > sw && nx % sw == 0 && nx / sw <= 8;
    std::unique_ptr<RowWidener> widener(wholeScale ? new RowWidener(nx / sw, sw) : nullptr);
    InkUnion under(sw);
    std::vector<uint8_t> line(static_cast<size_t>(sheet_.stride), 0);
    int lastFrom = -1, lastTo = -1;
    // The sheet column of the span's leftmost visible pixel (a mirrored span runs leftwards).
    const int left = stepX > 0 ? c.left + dx + xLo : c.left + dx - xHi;
    for (int i = yLo; i <= yHi; ++i) {
        uint8_t* out =
            sheet_.bits.data() + static_cast<size_t>(c.top + dy + stepY * i) * sheet_.stride;
        int from = rows.from[i], to = rows.to[i];
        if (from == lastFrom && to == lastTo) {
            // The same source rows as the line before: copy the composed line.
            copyRowFast(out, left, line.data(), left, xHi - xLo + 1, 1, false);
            continue;
        }
        lastFrom = from;
        lastTo = to;
        std::fill(line.begin(), line.end(), 0);
        bool perPixel = false;
        for (int r = from; r < to; ++r) {
            const uint8_t* srcRow = view.row(sy + r);
            if (oneToOne && to - from == 1) {
                copyRowFast(line.data(), c.left + dx + xLo, srcRow, sx + xLo, xHi - xLo + 1, inkBit,
                            invert);
                continue;
            }
            if (widener && to - from == 1) {
                copyRowFast(line.data(), c.left + dx + xLo,
                            widener->widen(srcRow, sx, sw, inkBit, invert), xLo, xHi - xLo + 1, 1,
                            false);
                continue;
            }
            under.add(srcRow, sx, sw, inkBit, invert, r == from);
            perPixel = true;
        }
        for (int j = xLo; perPixel && j <= xHi; ++j) {
            int f = oneToOne ? j : cols.from[j], t = oneToOne ? j + 1 : cols.to[j];
            if (under.any(f, t)) setBit(line.data(), c.left + dx + stepX * j, true);
        }
        copyRowFast(out, left, line.data(), left, xHi - xLo + 1, 1, false);
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
    if (!recordText_ || !compose_ || !printing() || docAborted_) return;
    // One cell per character: count the UTF-8 lead bytes.
    int32_t cells = 0;
    for (unsigned char c : text)
        cells += (c & 0xC0) != 0x80;
    const int32_t left = x + config_.left, top = y + config_.top;
    sheet_.text.push_back({{left, top, left + cells * cellWidth, top + cellHeight}, text});
}

void SimulatedPrinter::fillRect(int x0, int y0, int x1, int y1) {
    const SimulatedPrinterConfig& c = config_;
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
