// The printer switch: each step of a document becomes the matching call of the printer in use.
#include "printers/printer_switch.h"

#include "platform/errors.h"

namespace zelmo {

// Starts with the printer found at start-up.
PrinterSwitch::PrinterSwitch(std::unique_ptr<Printer> printer) : current_(std::move(printer)) {
    current_->setSubmitHook([this] { submitting(); });
}

// Replaces the printer unless a document is open.
bool PrinterSwitch::replace(std::unique_ptr<Printer> printer) {
    if (printing() || !printer) return false;
    current_ = std::move(printer);
    current_->setSubmitHook([this] { submitting(); });
    return true;
}

// The document begins on the printer in use, under the same title and label.
void PrinterSwitch::startDoc(const std::string& title) {
    pageEnded_ = false;
    current_->setTitle(title);
    // The label names the document's file on a PDF printer: it must reach the printer in use.
    current_->setDocumentLabel(documentLabel());
    current_->beginDoc();
}

// The page ended before is followed by a new one.
void PrinterSwitch::startPage() {
    if (!pageEnded_) return;
    pageEnded_ = false;
    current_->newPage();
}

// Kept until the next step says whether a page or the document follows.
void PrinterSwitch::endPage() {
    pageEnded_ = true;
}

// The printer in use ends its document, its last page with it.
void PrinterSwitch::finishDoc() {
    pageEnded_ = false;
    current_->endDoc();
}

// The printer in use aborts (and so closes) its document.
void PrinterSwitch::abortDoc() {
    pageEnded_ = false;
    if (current_->printing()) current_->abort();
}

// Nothing can begin on a printer that is not there.
void AbsentPrinter::startDoc(const std::string&) {
    throw PrinterUnavailable("no printer " + name_);
}

}  // namespace zelmo
