// The printer document as a PDF drawn with QPdfWriter, and the canvas that draws on it.
#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/errors.h"
#include "platform/qt/qt_printers.h"

namespace zelmo {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

// The source rectangle of a transfer, inside the bitmap, as a 1-bit image whose colour table is
// exactly black and white. NOTSRCCOPY swaps the two colours.
QImage sourceImage(const gdi::BitmapView& view, int sx, int sy, int sw, int sh, bool invert) {
    QImage image(sw, sh, QImage::Format_Mono);
    image.setColorTable(
        {view.inkFor[0] != invert ? kBlack : kWhite, view.inkFor[1] != invert ? kBlack : kWhite});
    for (int r = 0; r < sh; ++r) {
        const uint8_t* from = view.row(sy + r);
        uint8_t* to = image.scanLine(r);
        if (sx % 8 == 0) {
            std::memcpy(to, from + sx / 8, static_cast<size_t>((sw + 7) / 8));
            continue;
        }
        for (int c = 0; c < sw; ++c) {
            const int x = sx + c;
            image.setPixel(c, r, static_cast<uint>((from[x >> 3] >> (7 - (x & 7))) & 1));
        }
    }
    return image;
}

// The transform that maps (0, 0, |extent|) onto a span at origin; a negative extent mirrors the
// axis and covers origin + extent + 1 .. origin, as GDI does.
void spanTransform(int origin, int extent, qreal& start, qreal& scale) {
    start = extent < 0 ? origin + 1 : origin;
    scale = extent < 0 ? -1 : 1;
}

}  // namespace

PdfDocumentPrinter::PdfDocumentPrinter(const PrinterGeometry& geometry) : geometry_(geometry) {}

PdfDocumentPrinter::~PdfDocumentPrinter() = default;

void PdfDocumentPrinter::startDoc(const std::string& title) {
    title_ = title;
    pagesStarted_ = 0;
    buffer_ = std::make_unique<QBuffer>();
    buffer_->open(QIODevice::WriteOnly);
    writer_ = std::make_unique<QPdfWriter>(buffer_.get());
    writer_->setTitle(QString::fromStdString(title));
    writer_->setCreator(QStringLiteral("Zelmo"));
    writer_->setResolution(geometry_.dpiX);
    // The page is the whole sheet with no margins, so one device pixel is one PDF pixel.
    const QPageSize size(
        QSizeF(geometry_.width * 72.0 / geometry_.dpiX, geometry_.height * 72.0 / geometry_.dpiY),
        QPageSize::Point, QString(), QPageSize::ExactMatch);
    writer_->setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF()));
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(writer_.get())) {
        closeDocument();
        throw PrinterError("Cannot start a PDF document");
    }
    startPage();
}

void PdfDocumentPrinter::startPage() {
    if (!painter_) return;
    if (pagesStarted_++ > 0) writer_->newPage();
    preparePage();
}

void PdfDocumentPrinter::endPage() {}

void PdfDocumentPrinter::finishDoc() {
    if (!painter_) return;
    painter_->end();
    const std::string pdf(buffer_->data().constData(), static_cast<size_t>(buffer_->size()));
    closeDocument();
    deliver(pdf, title_);
}

void PdfDocumentPrinter::abortDoc() {
    closeDocument();
}

void PdfDocumentPrinter::preparePage() {
    // Device coordinates start at the printable area, and ink outside it is lost, as on paper.
    painter_->resetTransform();
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setClipRect(QRect(geometry_.left, geometry_.top, deviceCaps(DeviceCap::HorzRes),
                                deviceCaps(DeviceCap::VertRes)));
    painter_->translate(geometry_.left, geometry_.top);
    penWidth_ = 1;
    penX_ = penY_ = 0;
}

void PdfDocumentPrinter::closeDocument() {
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
    writer_.reset();
    buffer_.reset();
}

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

void PdfDocumentPrinter::stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy,
                                    int sw, int sh, Rop rop) {
    // Range check input: outside a document, or an empty span, draws nothing.
    if (!painter_ || dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return;
    const gdi::BitmapView view = gdi::viewSelectedBitmap(src);
    // Only the part of the source inside its bitmap can be read.
    if (sx < 0 || sy < 0 || int64_t{sx} + sw > view.width || int64_t{sy} + sh > view.height) return;
    const QImage image = sourceImage(view, sx, sy, sw, sh, rop == Rop::NotSrcCopy);
    qreal x0, y0, scaleX, scaleY;
    spanTransform(dx, dw, x0, scaleX);
    spanTransform(dy, dh, y0, scaleY);
    painter_->save();
    painter_->translate(x0, y0);
    painter_->scale(scaleX, scaleY);
    const QRect target(0, 0, std::abs(dw), std::abs(dh));
    // The PDF may draw a two-colour image as a stencil; paper first keeps SRCCOPY's white.
    painter_->fillRect(target, Qt::white);
    painter_->drawImage(target, image);
    painter_->restore();
}

void PdfDocumentPrinter::setPenWidth(int width) {
    penWidth_ = width;
}

void PdfDocumentPrinter::moveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void PdfDocumentPrinter::lineTo(int x, int y) {
    if (painter_) {
        // A GDI pen is centred on the pixels it names, and a wide one has round ends.
        painter_->setPen(
            QPen(Qt::black, std::max(1, penWidth_), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_->drawLine(QPointF(penX_ + 0.5, penY_ + 0.5), QPointF(x + 0.5, y + 0.5));
    }
    penX_ = x;
    penY_ = y;
}

void PdfDocumentPrinter::textOut(int x, int y, const std::string& text) {
    if (!painter_) return;
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(12);
    painter_->setFont(font);
    painter_->setPen(Qt::black);
    // TextOut places the top of the character cell at y; Qt places the baseline.
    const QFontMetrics metrics(font, writer_.get());
    painter_->drawText(QPoint(x, y + metrics.ascent()), QString::fromStdString(text));
}

void PdfDocumentPrinter::textOutCells(int x, int y, int cellWidth, int cellHeight,
                                      const std::string& text) {
    // Range check input: outside a document, or cells of no size, draws nothing.
    if (!painter_ || cellWidth <= 0 || cellHeight <= 0) return;
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    // Sized so that one character's advance is one cell, whatever the face's proportions.
    constexpr int kProbe = 100;
    font.setPixelSize(kProbe);
    const qreal advance = QFontMetricsF(font, writer_.get()).horizontalAdvance(QLatin1Char('M'));
    if (advance > 0) font.setPixelSize(std::max(1, qRound(kProbe * cellWidth / advance)));
    const QFontMetricsF metrics(font, writer_.get());
    font.setLetterSpacing(QFont::AbsoluteSpacing,
                          cellWidth - metrics.horizontalAdvance(QLatin1Char('M')));
    painter_->setFont(font);
    painter_->setPen(Qt::black);
    // The face's height centred in the cell.
    const qreal baseline =
        (cellHeight - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
    painter_->drawText(QPointF(x, y + baseline),
                       QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

}  // namespace zelmo
