// A printer object that prints on the printer in use and writes the same document into an
// archive beside it: every call goes to the real printer first, then to a second printer
// made for each document (a PDF waiting beside the mover's local staging folder until the
// job printed whole, then staged), which the mover carries into the archive folder. The archive
// copy never fails or stops the print: its failures are kept for the window to report, and the copy
// is given up.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/printer.h"
#include "printers/archive_mover.h"

namespace zelmo {

class ArchivingPrinter : public Printer, private PrinterCanvas {
  public:
    // Makes the archive's printer for one document in folder (the staging folder), with the
    // sheet of the canvas it copies; may throw.
    using Factory =
        std::function<std::unique_ptr<Printer>(const std::string& folder, const PrinterCanvas&)>;

    // real, mover and the factory's printers must outlive their use here.
    ArchivingPrinter(Printer& real, Factory factory, ArchiveMover& mover);
    ~ArchivingPrinter() override;

    // The archive folder; empty: no archive. Takes effect from the next document (and for the
    // copies still staged); any thread.
    void setFolder(const std::string& folder);
    std::string folder() const;
    // The copies given up since the last call; any thread.
    std::vector<std::string> takeFailures();
    // The mover's failures since the last call: its copies wait in staging(); any thread.
    std::vector<std::string> takeMoveFailures() { return mover_.takeFailures(); }
    const std::string& staging() const { return mover_.staging(); }

    bool canCopy() const override { return real_.canCopy(); }
    PrinterCanvas* deviceContext() override;
    std::string printerName() override { return real_.printerName(); }
    // The real printer's document, through which the job's copies learn whether it printed.
    // The documents handed out must not outlive this printer.
    std::shared_ptr<SubmittedDocument> takeSubmitted() override;
    // A job's copies wait aside until it printed whole; then they are staged for the mover,
    // else dropped, so a job printed after failed attempts is archived once. A job that went
    // into a print system's queue is not printed yet: its copies wait on, held for its
    // document, until the print system has said it printed (or can no longer say).
    void jobEnded(bool printed) noexcept override;
    std::string lastDocumentPath() override { return real_.lastDocumentPath(); }

  protected:
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override {}
    void finishDoc() override;
    void abortDoc() override;
    // The real printer's device mode decides, with its own refusal.
    void applyCopies(short count) override { real_.setCopies(count); }

  private:
    int deviceCaps(DeviceCap cap) const override;
    void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw, int sh,
                    Rop rop) override;
    void setPenWidth(int width) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, const std::string& text) override;
    bool wantsTextLayer() const override;
    void textLayer(const TextLayer& layer) override;
    bool takesGlyphPage(const GlyphPage& page) const override;
    void glyphPage(const GlyphPage& page) override;
    bool canRepeatPage() const override;
    void repeatPage() override;
    void textOutCells(int x, int y, int cellWidth, int cellHeight,
                      const std::string& text) override;

    // Runs step on the archive's printer (and its canvas); a failure gives the copy up.
    void archive(const char* what, const std::function<void(Printer&, PrinterCanvas&)>& step);
    void fail(const std::string& message);
    // Where the copies of the job being printed wait for its end, inside the staging folder.
    std::string pending() const;
    // Moves the waiting copies into the staging folder, each under a name not taken there.
    void stagePending();
    // Moves the copy at from into the staging folder as name, or a free variant of it.
    void stage(const std::string& from, const std::string& name);
    // Where copies of jobs in a print system's queue wait, each name after its holder's prefix.
    std::string holding() const;
    // Moves the waiting copies into holding under the prefix of the document they wait on.
    void hold(const std::string& prefix);
    // Stages (printed) or drops the held copies of prefix; the window's thread, any time.
    void release(const std::string& prefix, bool printed) noexcept;

    class HeldCopies;

    Printer& real_;
    Factory factory_;
    ArchiveMover& mover_;
    PrinterCanvas* realCanvas_ = nullptr;  // the real printer's canvas of the open document
    std::unique_ptr<Printer> copy_;        // the archive's printer of the open document
    std::weak_ptr<HeldCopies> submitted_;  // the last job's document, until the job ends
    int held_ = 0;                         // documents given copies to hold so far
    PrinterCanvas* copyCanvas_ = nullptr;
    mutable std::mutex lock_;  // guards folder_ and failures_
    std::string folder_;
    std::vector<std::string> failures_;
};

}  // namespace zelmo
