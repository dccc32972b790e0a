// The printer document as a PDF written page by page, and the canvas that draws on it.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/errors.h"
#include "platform/local_time.h"
#include "platform/text_layer.h"
#include "printers/pdf/glyph_fonts.h"
#include "printers/pdf/image_scale.h"
#include "printers/pdf/mono_font.h"
#include "printers/pdf/pdf_printers.h"
#include "printers/pdf/pdf_writer.h"

namespace zelmo {
namespace {

constexpr const char* kCreator = "Zelmo";
// The canvas's text: 12 points, its cell's top at the given y, as TextOut places it.
constexpr double kTextPoints = 12;
constexpr double kTextAscent = 0.905;
// Courier: each character 0.6 em wide, 0.629 em above its baseline and 0.157 em below.
constexpr double kMonoAdvance = 0.6, kMonoAscent = 0.629, kMonoDescent = 0.157;

// PDF's date form of a local time: D:YYYYMMDDHHmmSS+hh'mm'.
std::string pdfDate(std::time_t when) {
    long offset = 0;
    const std::tm local = localCalendar(when, &offset);
    char text[64];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d%c%02ld'%02ld'",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return text;
}

// The span a StretchBlt extent covers: origin .. origin + extent, or for a negative extent
// origin + extent + 1 .. origin + 1 mirrored, as GDI does. Returns the image axis's start
// and its signed length in device pixels.
void span(int origin, int extent, double& start, double& length) {
    start = extent < 0 ? origin + 1 : origin;
    length = extent;
}

// Pulls in the far edge of a span (its larger coordinate) by kFarEdgeInset.
void insetFarEdge(double& start, double& length) {
    if (length > 0) {
        length -= pdf::kFarEdgeInset;
    } else {
        start -= pdf::kFarEdgeInset;
        length += pdf::kFarEdgeInset;
    }
}

}  // namespace

PdfDocumentPrinter::PdfDocumentPrinter(const PrinterGeometry& geometry) : geometry_(geometry) {}

PdfDocumentPrinter::~PdfDocumentPrinter() = default;

// Opens the document's file and its first page.
void PdfDocumentPrinter::startDoc(const std::string& title) {
    facts_ = DocumentFacts{title, documentLabel(), std::time(nullptr)};
    lastDocument_.clear();
    file_ = createDocumentFile(facts_);
    writer_ = std::make_unique<pdf::PdfWriter>(file_->fd());
    fonts_ = std::make_unique<pdf::GlyphFonts>();
    startPage();
}

// Starts a PDF page: device pixels from the sheet's corner, clipped to the printable area.
void PdfDocumentPrinter::startPage() {
    if (!writer_) return;
    const PrinterGeometry& g = geometry_;
    const double unitX = 72.0 / g.dpiX, unitY = 72.0 / g.dpiY;
    const double height = g.height * unitY;
    writer_->beginPage(g.width * unitX, height);
    // Device pixels from the sheet's top-left corner, then the printable area as the origin and
    // the clip: ink outside it is lost, as on paper.
    writer_->content() << unitX << "0 0 " << -unitY << "0 " << height << "cm\n"
                       << g.left << g.top << deviceCaps(DeviceCap::HorzRes)
                       << deviceCaps(DeviceCap::VertRes) << "re W n\n1 0 0 1 " << g.left << g.top
                       << "cm\n";
    penWidth_ = 1;
    penX_ = penY_ = 0;
}

// Closes the page; its content goes to the file.
void PdfDocumentPrinter::endPage() {
    if (writer_) writer_->endPage();
}

// Completes the file and hands it on (published or submitted).
void PdfDocumentPrinter::finishDoc() {
    if (!writer_) return;
    // Whatever happens next, the printer holds no document afterwards.
    std::unique_ptr<DocumentFile> file = std::move(file_);
    std::unique_ptr<pdf::PdfWriter> writer = std::move(writer_);
    std::unique_ptr<pdf::GlyphFonts> fonts = std::move(fonts_);
    rows_ = std::vector<uint8_t>();
    fonts->finish(*writer);
    writer->finish({facts_.title, kCreator, pdfDate(facts_.began)});
    writer.reset();
    // Published into the folder or submitted to CUPS: the document is out of our hands.
    submitting();
    file->deliver();
    lastDocument_ = file->published();
}

// Drops the document unsent: its file goes with it.
void PdfDocumentPrinter::abortDoc() {
    closeDocument();
}

// Lets go of the writer, the file and the page buffer.
void PdfDocumentPrinter::closeDocument() {
    fonts_.reset();
    writer_.reset();
    file_.reset();
    rows_ = std::vector<uint8_t>();
}

// GetDeviceCaps of the printer's geometry.
int PdfDocumentPrinter::deviceCaps(DeviceCap cap) const {
    const PrinterGeometry& g = geometry_;
    switch (cap) {
        case DeviceCap::HorzRes:
            return g.width - g.left - g.right;
        case DeviceCap::VertRes:
            return g.height - g.top - g.bottom;
        case DeviceCap::PhysicalWidth:
            return g.width;
        case DeviceCap::PhysicalHeight:
            return g.height;
        case DeviceCap::PhysicalOffsetX:
            return g.left;
        case DeviceCap::PhysicalOffsetY:
            return g.top;
        case DeviceCap::LogPixelsX:
            return g.dpiX;
        case DeviceCap::LogPixelsY:
            return g.dpiY;
    }
    return 0;
}

// The source rectangle as top-down rows of (sw + 7) / 8 bytes: the bitmap's own memory when it
// already is that, else a copy.
const uint8_t* PdfDocumentPrinter::packedRows(const gdi::BitmapView& view, int sx, int sy, int sw,
                                              int sh) {
    const size_t rowBytes = static_cast<size_t>(sw + 7) / 8;
    // A colour table of one colour: every pixel is that colour, whatever the bits; the image's
    // Decode array makes its 1 bits that colour.
    if (view.inkFor[0] == view.inkFor[1]) {
        rows_.assign(rowBytes * static_cast<size_t>(sh), 0xFF);
        return rows_.data();
    }
    const bool oneRow = sh == 1 || static_cast<size_t>(view.stride) == rowBytes;
    if (sx % 8 == 0 && (!view.bottomUp || sh == 1) && oneRow) return view.row(sy) + sx / 8;
    if (rows_.size() < rowBytes * static_cast<size_t>(sh))
        rows_.resize(rowBytes * static_cast<size_t>(sh));
    const int shift = sx % 8;
    for (int r = 0; r < sh; ++r) {
        const uint8_t* from = view.row(sy + r) + sx / 8;
        uint8_t* to = rows_.data() + rowBytes * static_cast<size_t>(r);
        if (shift == 0) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        // The byte after the source's last one may lie past the row: it only feeds padding.
        const size_t available = static_cast<size_t>(view.stride) - static_cast<size_t>(sx / 8);
        for (size_t i = 0; i < rowBytes; ++i) {
            const unsigned next = i + 1 < available ? from[i + 1] : 0;
            to[i] = static_cast<uint8_t>((from[i] << shift) | (next >> (8 - shift)));
        }
    }
    return rows_.data();
}

// Writes the source rectangle as an image of the document and returns its name. Pages up to
// the whole-image limit are compressed whole, larger ones a row at a time, so that no page is ever
// held twice; a failed allocation fails the page with the printer's error.
std::string PdfDocumentPrinter::writeImage(const gdi::BitmapView& view, int sx, int sy, int sw,
                                           int sh, bool invert) {
    const size_t rowBytes = static_cast<size_t>(sw + 7) / 8;
    const bool oneIsBlack = view.inkFor[1] != invert;
    try {
        if (rowBytes * static_cast<size_t>(sh) <= wholeImageLimit_) {
            return writer_->addImage(sw, sh, packedRows(view, sx, sy, sw, sh), oneIsBlack);
        }
        const std::string name = writer_->beginImage(sw, sh, oneIsBlack);
        // Rows left out once asked to stop leave a short image in a document that is aborted.
        for (int r = 0; r < sh && !stopped(); ++r)
            writer_->imageRow(packedRows(view, sx, sy + r, sw, 1));
        writer_->endImage();
        return name;
    } catch (const std::bad_alloc&) {
        throw PrinterError("Not enough memory for a page of " + std::to_string(sw) + " x " +
                           std::to_string(sh) + " pixels");
    }
}

void PdfDocumentPrinter::stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy,
                                    int sw, int sh, Rop rop) {
    // Range check input: outside a document, or an empty span, draws nothing; nor does a stretch
    // for a job asked to stop.
    if (!writer_ || dw == 0 || dh == 0 || sw <= 0 || sh <= 0 || stopped()) return;
    const gdi::BitmapView view = gdi::viewSelectedBitmap(src);
    // Only the part of the source inside its bitmap can be read.
    if (sx < 0 || sy < 0 || int64_t{sx} + sw > view.width || int64_t{sy} + sh > view.height) return;
    const bool invert = rop == Rop::NotSrcCopy;
    const std::string image = pdf::wholeScale(dw, dh, sw, sh)
                                  ? writeImage(view, sx, sy, sw, sh, invert)
                                  : writeResampled(view, sx, sy, sw, sh, dw, dh, invert);
    if (image.empty()) return;
    double x0, y0, width, height;
    span(dx, dw, x0, width);
    span(dy, dh, y0, height);
    // Paper first: the image is a stencil, and SRCCOPY's white must cover.
    const double left = std::min(x0, x0 + width), top = std::min(y0, y0 + height);
    writer_->content() << "q 1 g " << left << top << std::abs(width) << std::abs(height)
                       << "re f 0 g\n";
    insetFarEdge(x0, width);
    insetFarEdge(y0, height);
    writer_->content() << width << "0 0 " << -height << x0 << y0 + height << "cm /" << image
                       << " Do Q\n";
}

// The source rectangle resampled to the device pixels it covers, as an image of the document.
std::string PdfDocumentPrinter::writeResampled(const gdi::BitmapView& view, int sx, int sy, int sw,
                                               int sh, int dw, int dh, bool invert) {
    try {
        if (!pdf::resampleRect(view, sx, sy, sw, sh, dw, dh, invert, rows_, stop_)) return {};
        return writer_->addImage(std::abs(dw), std::abs(dh), rows_.data(), true);
    } catch (const std::bad_alloc&) {
        throw PrinterError("Not enough memory for a page of " + std::to_string(std::abs(dw)) +
                           " x " + std::to_string(std::abs(dh)) + " pixels");
    }
}

// The pen of later lines.
void PdfDocumentPrinter::setPenWidth(int width) {
    penWidth_ = width;
}

// The start of the next line.
void PdfDocumentPrinter::moveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

// A line from the pen's place, which moves to its end.
void PdfDocumentPrinter::lineTo(int x, int y) {
    if (writer_) {
        // A GDI pen is centred on the pixels it names, and a wide one has round ends.
        writer_->content() << "q 0 G " << std::max(1, penWidth_) << "w 1 J 1 j " << penX_ + 0.5
                           << penY_ + 0.5 << "m " << x + 0.5 << y + 0.5 << "l S Q\n";
    }
    penX_ = x;
    penY_ = y;
}

// Visible text in Helvetica, its cell's top at y.
void PdfDocumentPrinter::textOut(int x, int y, const std::string& text) {
    if (!writer_) return;
    const std::string font = writer_->textFont(false);
    const double size = kTextPoints * geometry_.dpiY / 72.0;
    // The page's y grows downwards; the text matrix turns the glyphs upright again.
    writer_->content() << "q 0 g BT /" << font << " 1 Tf " << size << "0 0 " << -size << x
                       << y + kTextAscent * size << "Tm " << pdf::PdfWriter::encodeText(text)
                       << " Tj ET Q\n";
}

// Visible monospaced text, one character of the embedded font per cell: box drawing and every
// letter of the code page print as they are.
void PdfDocumentPrinter::textOutCells(int x, int y, int cellWidth, int cellHeight,
                                      const std::string& text) {
    if (!writer_ || cellWidth <= 0 || cellHeight <= 0) return;
    const pdf::TrueTypeFont* mono = pdf::TrueTypeFont::builtIn();
    const std::string embedded = writer_->monoFont();
    if (mono && !embedded.empty()) {
        const double em = mono->unitsPerEm();
        const double size = cellWidth * em / mono->advance();
        // The font's line (ascent to descent) centred in the cell: box lines of neighbouring
        // lines meet.
        const double baseline =
            y + (cellHeight + (mono->ascent() + mono->descent()) / em * size) / 2;
        writer_->content() << "q 0 g BT /" << embedded << " 1 Tf " << size << "0 0 " << -size << x
                           << baseline << "Tm " << writer_->encodeMono(text) << " Tj ET Q\n";
        return;
    }
    const std::string font = writer_->textFont(true);
    const double size = cellWidth / kMonoAdvance;
    // The glyphs' height centred in the cell's height.
    const double baseline = y + (cellHeight + (kMonoAscent - kMonoDescent) * size) / 2;
    writer_->content() << "q 0 g BT /" << font << " 1 Tf " << size << "0 0 " << -size << x
                       << baseline << "Tm " << pdf::PdfWriter::encodeText(text) << " Tj ET Q\n";
}

// A text page of glyphs only, at a scale every renderer maps alike.
bool PdfDocumentPrinter::takesGlyphPage(const GlyphPage& page) const {
    return writer_ && pdf::GlyphFonts::exact(page.transform);
}

// The page's glyphs as text of the document's glyph fonts, searchable by their own codes.
void PdfDocumentPrinter::glyphPage(const GlyphPage& page) {
    if (writer_) fonts_->drawPage(*writer_, page);
}

// A further copy of the page before, at the cost of a page object.
bool PdfDocumentPrinter::canRepeatPage() const {
    return writer_ && writer_->canRepeatPage();
}

void PdfDocumentPrinter::repeatPage() {
    if (writer_) writer_->repeatPage();
}

// The page's text as invisible words, one run per word, in reading order.
void PdfDocumentPrinter::textLayer(const TextLayer& layer) {
    if (!writer_ || layer.empty()) return;
    words_.clear();
    runs_.clear();
    // Each word spans its glyphs' boxes across and its line's box down, so that every word of a
    // line sits on one baseline and selection covers the glyph pixels.
    for (const TextLine& line : layer.lines) {
        const uint32_t end = line.first + line.count;
        for (uint32_t i = line.first; i < end;) {
            while (i < end && layer.glyphs[i].code == U' ')
                ++i;
            if (i == end) break;
            const size_t first = words_.size();
            const TextBox& start = layer.glyphs[i].box;
            int32_t right = start.right;
            for (; i < end && layer.glyphs[i].code != U' '; ++i) {
                words_.push_back(layer.glyphs[i].code);
                right = std::max(right, layer.glyphs[i].box.right);
            }
            pdf::InvisibleRun run;
            run.length = words_.size() - first;
            run.left = start.left;
            run.width = right - start.left;
            run.baseline = line.box.bottom;
            run.height = line.box.bottom - line.box.top;
            run.first = first;
            runs_.push_back(run);
        }
    }
    writer_->addInvisibleText(words_, runs_);
}

}  // namespace zelmo
