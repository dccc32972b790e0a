// Plain-text jobs: the bytes laid out on a grid of character cells and each page's lines sent
// through the printer's text output.
#include "output/plain_text.h"

#include <algorithm>

#include "platform/printer.h"
#include "platform/utf8.h"

namespace zelmo {
namespace {

constexpr int32_t kCharactersPerInch = 10;
constexpr int32_t kLinesPerInch = 6;
constexpr int32_t kTabColumns = 8;
constexpr int32_t kMaxCells = 1024;  // columns, and lines, of a page
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kFormFeed = 0x0C;
constexpr uint8_t kCarriageReturn = 0x0D;

}  // namespace

// Lays the printable area out in cells: 10 to the inch across, 6 down.
PlainTextPrinter::PlainTextPrinter(PclState& s, const JobEnv& env)
    : s_(s), env_(env), codePage_(codePageFromValue(env.request.codePage)) {
    const DeviceMetrics& m = env.metrics;
    if (m.dpiX > 0 && m.dpiY > 0) {
        columns_ = static_cast<int32_t>(int64_t{m.horzRes} * kCharactersPerInch / m.dpiX);
        rows_ = static_cast<int32_t>(int64_t{m.vertRes} * kLinesPerInch / m.dpiY);
    }
    // A printable area smaller than one cell still holds one: the text is not lost. No sheet
    // comes near the upper bound; a printer reporting an absurd one must not exhaust memory.
    columns_ = std::clamp(columns_, 1, kMaxCells);
    rows_ = std::clamp(rows_, 1, kMaxCells);
    cells_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), 0);
}

void PlainTextPrinter::put(uint8_t byte) {
    if (byte == kCarriageReturn) {
        column_ = 0;
    } else if (byte == kLineFeed) {
        lineFeed();
    } else if (byte == kFormFeed) {
        formFeed();
    } else if (byte == kTab) {
        column_ = (column_ / kTabColumns + 1) * kTabColumns;
        if (column_ >= columns_) lineFeed();
    } else if (byte >= 0x20) {
        // A line longer than the page wraps rather than losing its end.
        if (column_ >= columns_) lineFeed();
        char32_t code = byte == 0x20 ? U' ' : toUnicode(codePage_, byte);
        char32_t& cell = cells_[static_cast<size_t>(row_) * columns_ + column_];
        // Struck again after a carriage return (bold, underline): the first letter stays.
        if (code != 0 && code != U' ' && (cell == 0 || cell == U' ')) {
            cell = code;
            pageHasText_ = true;
        }
        ++column_;
    }
}

// A new line at its first column; past the last line, a new page.
void PlainTextPrinter::lineFeed() {
    column_ = 0;
    if (++row_ >= rows_) formFeed();
}

// Ends the page: sent when it holds text, or kept back as a blank sheet until text follows.
void PlainTextPrinter::formFeed() {
    if (pageHasText_)
        sendPage();
    else
        ++blankPagesPending_;
    clearPage();
}

void PlainTextPrinter::finish() {
    if (pageHasText_) sendPage();
    clearPage();
}

// A blank page, the next character at its top-left cell.
void PlainTextPrinter::clearPage() {
    std::fill(cells_.begin(), cells_.end(), 0);
    column_ = row_ = 0;
    pageHasText_ = false;
}

// Sends the blank pages held back, then this page, each once per copy.
void PlainTextPrinter::sendPage() {
    const DeviceMetrics& m = env_.metrics;
    const int x = offsetPixels(m.dpiX, env_.request.offsetX);
    const int y = offsetPixels(m.dpiY, env_.request.offsetY);
    const int cellWidth = (m.dpiX + kCharactersPerInch / 2) / kCharactersPerInch;
    for (int page = 0; page <= blankPagesPending_; ++page) {
        const bool blank = page < blankPagesPending_;
        for (int32_t copy = 0; copy < s_.copies; ++copy) {
            if (env_.terminated.load(std::memory_order_relaxed)) return;
            beginCopy(s_, env_);
            PrinterCanvas* dc = env_.printer.deviceContext();
            for (int32_t r = 0; dc && !blank && r < rows_; ++r) {
                line_.clear();
                size_t end = 0;  // past the last printed cell
                for (int32_t c = 0; c < columns_; ++c) {
                    char32_t code = cells_[static_cast<size_t>(r) * columns_ + c];
                    appendUtf8(line_, code == 0 ? U' ' : code);
                    if (code != 0 && code != U' ') end = line_.size();
                }
                if (end == 0) continue;
                line_.resize(end);
                const int top = y + static_cast<int>(int64_t{r} * m.dpiY / kLinesPerInch);
                const int bottom = y + static_cast<int>(int64_t{r + 1} * m.dpiY / kLinesPerInch);
                dc->textOutCells(x, top, cellWidth, bottom - top, line_);
            }
            endCopy(s_, env_);
        }
        ++pagesSent_;
    }
    blankPagesPending_ = 0;
}

}  // namespace zelmo
