// The archiving printer: calls passed on to the real printer, then to the archive's copy,
// whose every failure is caught, kept for the window and ends the copy alone.
#include "printers/archiving_printer.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "platform/files.h"

namespace zelmo {
namespace {

// Keeps the oldest messages when failures pile up unread.
constexpr size_t kMaxFailures = 32;
// The hidden folder in staging where a job's copies wait for its end; the mover takes only
// visible files of staging itself.
constexpr const char* kPendingName = ".w-toku";
// The hidden folder in staging where copies of jobs in a print system's queue wait for its word.
constexpr const char* kHoldingName = ".w-kolejce";

// The name's stem and extension split at the last dot.
std::pair<std::string, std::string> splitExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

}  // namespace

// Prints on real; each document's archive copy comes from factory and goes on with mover.
ArchivingPrinter::ArchivingPrinter(Printer& real, Factory factory, ArchiveMover& mover)
    : real_(real), factory_(std::move(factory)), mover_(mover) {
    // Only the real printer's document counts as submitted; the archive's copy never does.
    real_.setSubmitHook([this] { submitting(); });
    // Copies of a job a kill interrupted: the job prints again and is archived then.
    for (const files::FileInfo& entry : files::listFolder(pending()))
        if (entry.regular) files::deleteFile(pending() + entry.name);
    // Copies of a job still in a print system's queue at the stop: its fate can no longer be
    // told, so it is archived as handed over, as it would be had the print system gone quiet.
    // Dropping them would leave an invoice that most likely printed out of the archive.
    for (const files::FileInfo& entry : files::listFolder(holding())) {
        const std::size_t dash = entry.name.find('-');
        if (!entry.regular) continue;
        if (dash == std::string::npos || dash + 1 == entry.name.size())
            files::deleteFile(holding() + entry.name);
        else
            stage(holding() + entry.name, entry.name.substr(dash + 1));
    }
}

// The real printer's document, whose last word decides the job's held copies.
class ArchivingPrinter::HeldCopies : public SubmittedDocument {
  public:
    HeldCopies(ArchivingPrinter& owner, std::shared_ptr<SubmittedDocument> real)
        : owner_(owner), real_(std::move(real)) {}
    SubmittedState state() const override { return real_->state(); }
    std::string message() const override { return real_->message(); }
    HoldUp holdUp() const override { return real_->holdUp(); }
    int64_t systemJob() const override { return real_->systemJob(); }
    // Told once: a second word finds nothing left under the prefix.
    void settled(bool printed) noexcept override {
        real_->settled(printed);
        if (!prefix_.empty()) owner_.release(prefix_, printed);
        prefix_.clear();
    }
    void holdAs(std::string prefix) { prefix_ = std::move(prefix); }

  private:
    ArchivingPrinter& owner_;
    const std::shared_ptr<SubmittedDocument> real_;
    std::string prefix_;  // of the copies held for it; empty: none
};

std::shared_ptr<SubmittedDocument> ArchivingPrinter::takeSubmitted() {
    std::shared_ptr<SubmittedDocument> real = real_.takeSubmitted();
    if (!real) return nullptr;
    auto held = std::make_shared<HeldCopies>(*this, std::move(real));
    submitted_ = held;
    return held;
}

std::string ArchivingPrinter::holding() const {
    return mover_.staging() + kHoldingName + "/";
}

// Each copy keeps its name after the prefix, so that it is staged under it later.
void ArchivingPrinter::hold(const std::string& prefix) {
    files::makeFolder(holding());
    for (const files::FileInfo& entry : files::listFolder(pending()))
        if (entry.regular &&
            files::renameNoReplace(pending() + entry.name, holding() + prefix + entry.name) !=
                files::RenameResult::Renamed)
            fail("archive " + holding() + ": " + files::lastErrorMessage());
}

void ArchivingPrinter::release(const std::string& prefix, bool printed) noexcept {
    try {
        for (const files::FileInfo& entry : files::listFolder(holding())) {
            if (!entry.regular || entry.name.compare(0, prefix.size(), prefix) != 0) continue;
            if (printed)
                stage(holding() + entry.name, entry.name.substr(prefix.size()));
            else
                files::deleteFile(holding() + entry.name);
        }
        if (printed) mover_.wake();
    } catch (...) {
        // Memory ran out listing a folder: the copies are dropped at the next start.
    }
}

std::string ArchivingPrinter::pending() const {
    return mover_.staging() + kPendingName + "/";
}

// Each waiting copy is renamed into staging.
void ArchivingPrinter::stagePending() {
    for (const files::FileInfo& entry : files::listFolder(pending()))
        if (entry.regular) stage(pending() + entry.name, entry.name);
}

// A name already staged gets " (2)", " (3)", ...
void ArchivingPrinter::stage(const std::string& from, const std::string& name) {
    const auto [stem, extension] = splitExtension(name);
    for (int n = 1; n < 100; ++n) {
        const std::string to = n == 1 ? name : stem + " (" + std::to_string(n) + ")" + extension;
        const files::RenameResult result = files::renameNoReplace(from, mover_.staging() + to);
        if (result == files::RenameResult::TargetExists) continue;
        if (result != files::RenameResult::Renamed)
            fail("archive " + mover_.staging() + ": " + files::lastErrorMessage());
        break;
    }
}

// Staged and moved when the job printed whole, held when it waits in a print system's queue;
// dropped otherwise.
void ArchivingPrinter::jobEnded(bool printed) noexcept {
    try {
        const std::shared_ptr<HeldCopies> submitted = submitted_.lock();
        submitted_.reset();
        if (printed && submitted) {
            const std::string prefix = std::to_string(++held_) + "-";
            hold(prefix);
            submitted->holdAs(prefix);
        } else if (printed) {
            stagePending();
            mover_.wake();
        }
        for (const files::FileInfo& entry : files::listFolder(pending()))
            if (entry.regular) files::deleteFile(pending() + entry.name);
    } catch (...) {
        // Memory ran out listing a folder: the copies wait for the next job's end.
    }
}

// An open archive copy is dropped with its printer.
ArchivingPrinter::~ArchivingPrinter() = default;

void ArchivingPrinter::setFolder(const std::string& folder) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        folder_ = folder;
    }
    mover_.setDestination(folder);
}

std::string ArchivingPrinter::folder() const {
    std::lock_guard<std::mutex> hold(lock_);
    return folder_;
}

std::vector<std::string> ArchivingPrinter::takeFailures() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(failures_, {});
}

// Keeps a failure for the window, the oldest ones when too many pile up.
void ArchivingPrinter::fail(const std::string& message) {
    std::lock_guard<std::mutex> hold(lock_);
    if (failures_.size() < kMaxFailures) failures_.push_back(message);
}

PrinterCanvas* ArchivingPrinter::deviceContext() {
    // Asked again at every use: the real printer's context may change between documents.
    realCanvas_ = real_.deviceContext();
    return realCanvas_ ? static_cast<PrinterCanvas*>(this) : nullptr;
}

void ArchivingPrinter::archive(const char* what,
                               const std::function<void(Printer&, PrinterCanvas&)>& step) {
    if (!copy_) return;
    std::string message;
    try {
        if (!copyCanvas_) copyCanvas_ = copy_->deviceContext();
        if (!copyCanvas_) throw std::runtime_error("no printer");
        step(*copy_, *copyCanvas_);
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "unknown error";
    }
    // The copy is given up: whatever it wrote so far is discarded with it.
    try {
        if (copy_->printing()) copy_->abort();
    } catch (...) {
        // Already failing; the first message is the one worth reporting.
    }
    copy_.reset();
    copyCanvas_ = nullptr;
    fail(std::string(what) + ": " + message);
}

// Begins the real document, then the archive copy, whose failure only gives the copy up.
void ArchivingPrinter::startDoc(const std::string& title) {
    real_.setTitle(title);
    real_.setDocumentLabel(documentLabel());
    real_.beginDoc();
    realCanvas_ = real_.deviceContext();
    copy_.reset();
    copyCanvas_ = nullptr;
    const std::string where = folder();
    if (where.empty() || !realCanvas_ || !factory_) return;
    try {
        files::makeFolder(mover_.staging());
        files::makeFolder(pending());
        copy_ = factory_(pending(), *realCanvas_);
        if (copy_) {
            copy_->setTitle(title);
            copy_->setDocumentLabel(documentLabel());
        }
    } catch (const std::exception& e) {
        copy_.reset();
        fail(std::string("archive ") + mover_.staging() + ": " + e.what());
        return;
    }
    archive("archive begin", [](Printer& p, PrinterCanvas&) { p.beginDoc(); });
}

// A new page on both.
void ArchivingPrinter::startPage() {
    real_.newPage();
    archive("archive page", [](Printer& p, PrinterCanvas&) { p.newPage(); });
}

// Ends the real document, then publishes the archive copy.
void ArchivingPrinter::finishDoc() {
    // The archive's document is ended even when the real one fails to end.
    struct EndCopy {
        ArchivingPrinter& self;
        ~EndCopy() {
            self.archive("archive end", [](Printer& p, PrinterCanvas&) { p.endDoc(); });
            // Still there: the copy is whole and waits for the job's end.
            self.copy_.reset();
            self.copyCanvas_ = nullptr;
        }
    } endCopy{*this};
    real_.endDoc();
}

void ArchivingPrinter::abortDoc() {
    // A print that failed leaves no archive copy: the job is printed, and archived, again.
    if (copy_) {
        try {
            if (copy_->printing()) copy_->abort();
        } catch (...) {
            // Nothing was printed; nothing to report.
        }
    }
    copy_.reset();
    copyCanvas_ = nullptr;
    real_.abort();
}

// The real printer's geometry: the archive copy is made on the same sheet.
int ArchivingPrinter::deviceCaps(DeviceCap cap) const {
    return realCanvas_ ? realCanvas_->deviceCaps(cap) : 0;
}

// Each canvas call goes to the real printer, then to the archive copy.
void ArchivingPrinter::stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy,
                                  int sw, int sh, Rop rop) {
    if (realCanvas_) realCanvas_->stretchBlt(dx, dy, dw, dh, src, sx, sy, sw, sh, rop);
    archive("archive page image", [&](Printer&, PrinterCanvas& c) {
        c.stretchBlt(dx, dy, dw, dh, src, sx, sy, sw, sh, rop);
    });
}

// The test page's vector drawing and text, on both.
void ArchivingPrinter::setPenWidth(int width) {
    if (realCanvas_) realCanvas_->setPenWidth(width);
    archive("archive", [&](Printer&, PrinterCanvas& c) { c.setPenWidth(width); });
}

void ArchivingPrinter::moveTo(int x, int y) {
    if (realCanvas_) realCanvas_->moveTo(x, y);
    archive("archive", [&](Printer&, PrinterCanvas& c) { c.moveTo(x, y); });
}

void ArchivingPrinter::lineTo(int x, int y) {
    if (realCanvas_) realCanvas_->lineTo(x, y);
    archive("archive", [&](Printer&, PrinterCanvas& c) { c.lineTo(x, y); });
}

void ArchivingPrinter::textOut(int x, int y, const std::string& text) {
    if (realCanvas_) realCanvas_->textOut(x, y, text);
    archive("archive", [&](Printer&, PrinterCanvas& c) { c.textOut(x, y, text); });
}

// Built when either printer can carry it.
bool ArchivingPrinter::wantsTextLayer() const {
    return (realCanvas_ && realCanvas_->wantsTextLayer()) ||
           (copyCanvas_ && copyCanvas_->wantsTextLayer());
}

// Passed to whichever printer carries text.
void ArchivingPrinter::textLayer(const TextLayer& layer) {
    if (realCanvas_ && realCanvas_->wantsTextLayer()) realCanvas_->textLayer(layer);
    archive("archive text", [&](Printer&, PrinterCanvas& c) {
        if (c.wantsTextLayer()) c.textLayer(layer);
    });
}

// Drawn from glyphs only where both printers can: each sheet must show the same page.
bool ArchivingPrinter::takesGlyphPage(const GlyphPage& page) const {
    if (!realCanvas_ || !realCanvas_->takesGlyphPage(page)) return false;
    return !copyCanvas_ || copyCanvas_->takesGlyphPage(page);
}

void ArchivingPrinter::glyphPage(const GlyphPage& page) {
    if (realCanvas_) realCanvas_->glyphPage(page);
    archive("archive text", [&](Printer&, PrinterCanvas& c) { c.glyphPage(page); });
}

// A copy repeated only where both printers can: each sheet must show the same page.
bool ArchivingPrinter::canRepeatPage() const {
    if (!realCanvas_ || !realCanvas_->canRepeatPage()) return false;
    return !copyCanvas_ || copyCanvas_->canRepeatPage();
}

void ArchivingPrinter::repeatPage() {
    if (realCanvas_) realCanvas_->repeatPage();
    archive("archive page image", [&](Printer&, PrinterCanvas& c) { c.repeatPage(); });
}

// Plain text, on both.
void ArchivingPrinter::textOutCells(int x, int y, int cellWidth, int cellHeight,
                                    const std::string& text) {
    if (realCanvas_) realCanvas_->textOutCells(x, y, cellWidth, cellHeight, text);
    archive("archive",
            [&](Printer&, PrinterCanvas& c) { c.textOutCells(x, y, cellWidth, cellHeight, text); });
}

}  // namespace zelmo
