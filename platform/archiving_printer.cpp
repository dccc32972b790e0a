// The archiving printer: calls passed on to the real printer, then to the archive's copy,
// whose every failure is caught, kept for the window and ends the copy alone.
#include "platform/archiving_printer.h"

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
    // Copies of a job a kill interrupted: the job prints again, or is set aside and printed
    // again on request, and is archived then.
    for (const files::FileInfo& entry : files::listFolder(pending()))
        if (entry.regular) files::deleteFile(pending() + entry.name);
}

std::string ArchivingPrinter::pending() const {
    return mover_.staging() + kPendingName + "/";
}

// Each waiting copy is renamed into staging; a name already staged gets " (2)", " (3)", ...
void ArchivingPrinter::stagePending() {
    for (const files::FileInfo& entry : files::listFolder(pending())) {
        if (!entry.regular) continue;
        const auto [stem, extension] = splitExtension(entry.name);
        for (int n = 1; n < 100; ++n) {
            const std::string name =
                n == 1 ? entry.name : stem + " (" + std::to_string(n) + ")" + extension;
            const files::RenameResult result =
                files::renameNoReplace(pending() + entry.name, mover_.staging() + name);
            if (result == files::RenameResult::TargetExists) continue;
            if (result != files::RenameResult::Renamed)
                fail("archive " + mover_.staging() + ": " + files::lastErrorMessage());
            break;
        }
    }
}

// Staged and moved when the job printed whole; dropped otherwise.
void ArchivingPrinter::jobEnded(bool printed) noexcept {
    try {
        if (printed) {
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
    std::vector<std::string> moves = mover_.takeFailures();
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> all = std::exchange(failures_, {});
    all.insert(all.end(), moves.begin(), moves.end());
    return all;
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
