// The printer object over the default printer, and its device context.
//
// Printer keeps the document state machine and the refusals with their exact messages in one
// place; each platform (simulated, Qt/CUPS, PDF, Windows) fills in the protected steps.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/gdi.h"
#include "platform/print_trouble.h"
#include "platform/test_page.h"

namespace zelmo {

enum class DeviceCap {
    HorzRes,          // HORZRES: printable width
    VertRes,          // VERTRES: printable height
    PhysicalWidth,    // PHYSICALWIDTH
    PhysicalHeight,   // PHYSICALHEIGHT
    PhysicalOffsetX,  // PHYSICALOFFSETX
    PhysicalOffsetY,  // PHYSICALOFFSETY
    LogPixelsX,       // LOGPIXELSX
    LogPixelsY,       // LOGPIXELSY
};

enum class Rop { SrcCopy, NotSrcCopy };

struct TextLayer;
struct GlyphPage;

// The printer's device context. Coordinates start at the top-left corner of the printable area.
class PrinterCanvas {
  public:
    virtual ~PrinterCanvas() = default;
    virtual int deviceCaps(DeviceCap cap) const = 0;
    // StretchBlt from the bitmap selected into src. A negative extent mirrors that axis, and the
    // span then covers origin + extent + 1 .. origin.
    virtual void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw,
                            int sh, Rop rop) = 0;
    virtual void setPenWidth(int width) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void textOut(int x, int y, const std::string& text) = 0;
    // The stop request of the job being drawn: a canvas whose stretch of a large page takes long
    // looks at it a row at a time and leaves the rest undone once it is set (the document is
    // aborted then). Null: none.
    virtual void watchStop(const std::atomic<bool>* /*request*/) {}

    // Whether the printer can carry a page's text (a PDF can, paper cannot): when false the text
    // layer is not even built.
    virtual bool wantsTextLayer() const { return false; }
    // The text of the page just stretched onto this canvas, once per copy sent, right after the
    // page's stretchBlt; boxes are in this canvas's device pixels, over the glyph pixels. A
    // printer that carries it writes it as invisible text.
    virtual void textLayer(const TextLayer& /*layer*/) {}
    // Whether the canvas draws this text page from its glyphs exactly as the page's stretch
    // would draw its pixels; then glyphPage is called in place of the stretch and the layer.
    virtual bool takesGlyphPage(const GlyphPage& /*page*/) const { return false; }
    virtual void glyphPage(const GlyphPage& /*page*/) {}
    // Whether the page just begun can be made a copy of the page before it in the document
    // (a PDF refers to that page's content again); then repeatPage is called in place of
    // drawing the same page again, as a job's further copies are.
    virtual bool canRepeatPage() const { return false; }
    virtual void repeatPage() {}
    // A line of UTF-8 text in the printer's monospaced font, each character one cell of
    // cellWidth x cellHeight device pixels, the first cell's top-left corner at (x, y). The
    // default falls back on textOut.
    virtual void textOutCells(int x, int y, int /*cellWidth*/, int /*cellHeight*/,
                              const std::string& text) {
        textOut(x, y, text);
    }
};

// What the next document prints, for printers that name their documents after it: the queue
// file of a job, or the test page.
struct DocumentLabel {
    std::string jobFile;
    TestPage testPage = TestPage::None;
    int64_t job = 0;     // the job's number, 0 for none
    bool again = false;  // printed again on the user's request
};

// Where a document handed to a print system stands, as the print system last said.
enum class SubmittedState {
    Queued,     // in the print system's queue (pending, held, stopped or printing): not on paper
    Completed,  // printed
    Failed,     // aborted or canceled by the print system: the job is ours again
    Unknown,    // the print system cannot say (or no longer knows the job)
};

// What keeps a queued document from the printer, as the print system words it.
struct HoldUp {
    PrintTrouble trouble = PrintTrouble::General;
    std::string message;  // empty: nothing holds it up
};

// A document handed to a print system that keeps it in a queue. Any thread may ask; the
// answer is what was learnt last and never waits for the print system.
class SubmittedDocument {
  public:
    virtual ~SubmittedDocument() = default;
    virtual SubmittedState state() const = 0;
    // The print system's words for a failure; may be empty.
    virtual std::string message() const { return {}; }
    // While queued: why the print system keeps it from the printer (the printer does not
    // answer, is stopped or in error; the job is held); an empty message while nothing does.
    virtual HoldUp holdUp() const { return {}; }
    // The print system's number for it (the CUPS job id, the spooler's job id), by which a
    // later run can ask after it; 0 when it has none.
    virtual int64_t systemJob() const { return 0; }
    // Its owner has taken the print system's last word: printed (or as far as anyone can tell)
    // or given up. What waited on that word (the job's archive copies) is kept or dropped now.
    virtual void settled(bool /*printed*/) noexcept {}
};

// The process's printer object.
class Printer {
  public:
    virtual ~Printer() = default;

    bool printing() const { return printing_; }
    // Grows with each document or page begun or ended: a printer that does not move on is
    // stuck in a call. Any thread may read it.
    uint64_t progress() const { return progress_.load(); }
    // The aborted mark: set by abort, cleared by beginDoc; it describes the last document.
    bool aborted() const { return aborted_; }
    // The copies capability: the printer makes copies itself.
    virtual bool canCopy() const = 0;
    // Throws "Printing in progress" while printing, "Operation not supported on selected
    // printer" when the printer has no device mode.
    void setCopies(int count);
    // The device context, or null when there is no printer; may throw PrinterError.
    virtual PrinterCanvas* deviceContext() = 0;

    void beginDoc();  // "Printing in progress" while printing
    void newPage();   // "Printer is not currently printing" unless printing
    void endDoc();    // same
    void abort();     // same

    void setTitle(const std::string& title) { title_ = title; }
    const std::string& title() const { return title_; }
    // Set by the worker before each hand-over; the document title stays as it is.
    void setDocumentLabel(DocumentLabel label) { label_ = std::move(label); }
    const DocumentLabel& documentLabel() const { return label_; }
    virtual std::string printerName() = 0;
    // The last document ended, when it went into a print system's queue rather than straight
    // onto paper or into a file; null otherwise. Taken once.
    virtual std::shared_ptr<SubmittedDocument> takeSubmitted() { return nullptr; }

    // Called on the printing thread right before any part of a document leaves the printer
    // object for the print system (a PDF published, a job submitted, a spooled document
    // begun): from then on printing the job again might print it twice. A hook that throws
    // keeps the document from leaving.
    void setSubmitHook(std::function<void()> hook) { submitHook_ = std::move(hook); }
    // The job whose documents were printed since the last call is over: printed whole, or
    // not (it failed, was stopped or refused). What a printer keeps per job (an archive copy)
    // is kept or dropped now, once per job, never per attempt. Never throws.
    virtual void jobEnded(bool /*printed*/) noexcept {}
    // The file the last document ended became, for printers that make files (the PDF
    // folder); empty otherwise.
    virtual std::string lastDocumentPath() { return {}; }

    // HORZRES and VERTRES of the device context (0 without one).
    int pageWidth();
    int pageHeight();

  protected:
    // Each printer calls this right before its document reaches the print system.
    void submitting() {
        if (submitHook_) submitHook_();
    }
    virtual bool hasDeviceMode() const { return true; }
    // StartDoc with the title, then StartPage.
    virtual void startDoc(const std::string& title) = 0;
    virtual void startPage() = 0;
    virtual void endPage() = 0;
    // EndDoc; not called for an aborted document.
    virtual void finishDoc() = 0;
    // AbortDoc; endPage follows it.
    virtual void abortDoc() = 0;
    // Writes the count into the device mode (16 bits, as dmCopies holds it; never wrapped).
    virtual void applyCopies(short count) = 0;

  private:
    bool printing_ = false;
    bool aborted_ = false;
    std::atomic<uint64_t> progress_{0};
    std::string title_;
    DocumentLabel label_;
    std::function<void()> submitHook_;
};

}  // namespace zelmo
