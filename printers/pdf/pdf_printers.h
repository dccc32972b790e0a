// The printer objects whose documents are PDF files, written by our own streaming writer as
// pages come: the base shared with the CUPS printer, and the built-in PDF folder printer.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace zelmo {

namespace pdf {
class GlyphFonts;
class PdfWriter;
struct InvisibleRun;
}  // namespace pdf

// A printer's geometry in device pixels: the physical sheet and its unprintable margins.
struct PrinterGeometry {
    int width = 0;
    int height = 0;
    int dpiX = 0;
    int dpiY = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The file a document is written into while it grows. Destroyed before deliver, it is discarded.
class DocumentFile {
  public:
    virtual ~DocumentFile() = default;
    virtual int fd() const = 0;
    // Hands on the complete document: publishes or submits it; may throw PrinterError.
    virtual void deliver() = 0;
    // The file the document became once delivered, when it became one.
    virtual std::string published() const { return {}; }
};

// What a PDF printer knows of the document it is writing.
struct DocumentFacts {
    std::string title;
    DocumentLabel label;
    std::time_t began = 0;
};

// The printer object and canvas shared by the CUPS and PDF-folder printers. A PDF page is the
// whole sheet at one PDF pixel per device pixel; drawing is clipped to the printable area.
class PdfDocumentPrinter : public Printer, private PrinterCanvas {
  public:
    explicit PdfDocumentPrinter(const PrinterGeometry& geometry);
    ~PdfDocumentPrinter() override;

    PrinterCanvas* deviceContext() override { return this; }
    std::string lastDocumentPath() override { return lastDocument_; }
    const PrinterGeometry& geometry() const { return geometry_; }
    // Images above this many bytes are compressed a row at a time: less memory, less speed.
    void setWholeImageLimit(size_t bytes) { wholeImageLimit_ = bytes; }

  protected:
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override;
    void finishDoc() override;
    void abortDoc() override;

    // The file the document about to begin is written into; may throw PrinterError.
    virtual std::unique_ptr<DocumentFile> createDocumentFile(const DocumentFacts& facts) = 0;

  private:
    int deviceCaps(DeviceCap cap) const override;
    void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw, int sh,
                    Rop rop) override;
    void setPenWidth(int width) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, const std::string& text) override;
    void watchStop(const std::atomic<bool>* request) override { stop_ = request; }
    bool stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }
    bool wantsTextLayer() const override { return true; }
    void textLayer(const TextLayer& layer) override;
    bool takesGlyphPage(const GlyphPage& page) const override;
    void glyphPage(const GlyphPage& page) override;
    bool canRepeatPage() const override;
    void repeatPage() override;
    void textOutCells(int x, int y, int cellWidth, int cellHeight,
                      const std::string& text) override;

    std::string writeImage(const gdi::BitmapView& view, int sx, int sy, int sw, int sh,
                           bool invert);
    std::string writeResampled(const gdi::BitmapView& view, int sx, int sy, int sw, int sh, int dw,
                               int dh, bool invert);
    const uint8_t* packedRows(const gdi::BitmapView& view, int sx, int sy, int sw, int sh);
    void closeDocument();

    PrinterGeometry geometry_;
    size_t wholeImageLimit_ = size_t{32} << 20;
    DocumentFacts facts_;
    std::string lastDocument_;
    int penWidth_ = 1;
    int penX_ = 0;
    int penY_ = 0;
    // Declared in the order they are built; the writer goes before the file it writes.
    std::unique_ptr<DocumentFile> file_;
    std::unique_ptr<pdf::PdfWriter> writer_;
    std::unique_ptr<pdf::GlyphFonts> fonts_;
    std::vector<uint8_t> rows_;
    const std::atomic<bool>* stop_ = nullptr;
    // The words of a page's text layer, reused from page to page.
    std::vector<char32_t> words_;
    std::vector<pdf::InvisibleRun> runs_;
};

// The built-in PDF printer: each document becomes a new PDF file in a folder, named after the
// time it began and the queue file (or test page) it prints.
class PdfFolderPrinter : public PdfDocumentPrinter {
  public:
    // The unprintable border of an office laser printer, at 600 dpi: 1/6 inch (4.2 mm) on every
    // side, the printable area of HP LaserJets under PCL, which most office lasers copy. A job
    // then lands on the PDF's page where it lands on paper, and the PDF prints whole on any
    // printer whose border is no wider.
    static constexpr int kOfficeMargin = 100;
    // A4 (Letter) at 600 dpi within the office laser printer's border.
    static PrinterGeometry a4();
    static PrinterGeometry letter();
    // folder is created when the first document begins; it is the printer's name. Partial
    // files that an earlier run left in it are removed.
    explicit PdfFolderPrinter(std::string folder, const PrinterGeometry& geometry = a4());

    bool canCopy() const override { return false; }
    std::string printerName() override { return folder_; }

    // The file name of a document: "YYYY-MM-DD HH-MM-SS NAME.pdf", valid on Windows too.
    static std::string documentName(const DocumentFacts& facts);

  protected:
    // Without a copies field the count has nowhere to go.
    void applyCopies(short) override {}
    std::unique_ptr<DocumentFile> createDocumentFile(const DocumentFacts& facts) override;

  private:
    std::string folder_;
};

// A PDF printer writing into folder on the same sheet as the canvas like: the archive's copy.
std::unique_ptr<Printer> openArchivePrinter(const std::string& folder, const PrinterCanvas& like);

}  // namespace zelmo
