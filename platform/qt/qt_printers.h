// The Linux printer objects: every printer document is drawn as a PDF with QPdfWriter at the
// device's resolution, then handed to CUPS or written into a folder beside the program.
#pragma once

#include <memory>
#include <string>

#include "platform/printer.h"

class QBuffer;
class QPainter;
class QPdfWriter;

namespace zelmo {

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

// The printer object and canvas shared by the CUPS and PDF-folder printers. A PDF page is the
// whole sheet at one PDF pixel per device pixel; drawing is clipped to the printable area.
class PdfDocumentPrinter : public Printer, private PrinterCanvas {
  public:
    explicit PdfDocumentPrinter(const PrinterGeometry& geometry);
    ~PdfDocumentPrinter() override;

    PrinterCanvas* deviceContext() override { return this; }
    const PrinterGeometry& geometry() const { return geometry_; }

  protected:
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override;
    void finishDoc() override;
    void abortDoc() override;

    // Takes a finished document; may throw PrinterError.
    virtual void deliver(const std::string& pdf, const std::string& title) = 0;

  private:
    int deviceCaps(DeviceCap cap) const override;
    void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw, int sh,
                    Rop rop) override;
    void setPenWidth(int width) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, const std::string& text) override;

    void preparePage();
    void closeDocument();

    PrinterGeometry geometry_;
    std::string title_;
    int pagesStarted_ = 0;
    int penWidth_ = 1;
    int penX_ = 0;
    int penY_ = 0;
    // Declared in the order they are built; destroyed painter first, buffer last.
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
};

// The CUPS default destination. Documents are submitted with libcups at their end.
class CupsPrinter : public PdfDocumentPrinter {
  public:
    // The default destination of the CUPS server in use; null when there is none or no server.
    static std::unique_ptr<CupsPrinter> openDefault();
    // The destination called name ("queue" or "queue/instance"); null when it does not exist.
    static std::unique_ptr<CupsPrinter> openNamed(const std::string& name);
    ~CupsPrinter() override;

    bool canCopy() const override { return true; }
    std::string printerName() override { return name_; }

  protected:
    void applyCopies(short count) override { copies_ = count; }
    void deliver(const std::string& pdf, const std::string& title) override;

  private:
    struct Destination;
    CupsPrinter(std::unique_ptr<Destination> destination, const PrinterGeometry& geometry);

    std::unique_ptr<Destination> destination_;
    std::string name_;
    short copies_ = 1;
};

// The built-in PDF printer: each document becomes a new PDF file in a folder.
class PdfFolderPrinter : public PdfDocumentPrinter {
  public:
    // A4 at 600 dpi with the whole sheet printable.
    static PrinterGeometry a4();
    // folder is created when the first document ends; it is the printer's name.
    explicit PdfFolderPrinter(std::string folder, const PrinterGeometry& geometry = a4());

    bool canCopy() const override { return false; }
    std::string printerName() override { return folder_; }

  protected:
    // Without a copies field the count has nowhere to go.
    void applyCopies(short) override {}
    void deliver(const std::string& pdf, const std::string& title) override;

  private:
    std::string folder_;
};

// The printer Zelmo prints to: the CUPS default destination, or else PDF files in pdfFolder.
std::unique_ptr<Printer> openDefaultPrinter(const std::string& pdfFolder);

}  // namespace zelmo
