// The printer object's state machine and the messages of its refused operations.
#include "platform/printer.h"

#include <algorithm>
#include <climits>

#include "platform/errors.h"

namespace zelmo {
namespace {

constexpr const char* kPrintingInProgress = "Printing in progress";
constexpr const char* kNotPrinting = "Printer is not currently printing";
constexpr const char* kNotSupported = "Operation not supported on selected printer";

}  // namespace

void Printer::setCopies(int count) {
    if (printing_) throw PrinterError(kPrintingInProgress);
    if (!hasDeviceMode()) throw PrinterError(kNotSupported);
    // A count beyond the 16-bit field saturates: wrapped, 70000 copies would become 4464.
    applyCopies(static_cast<short>(std::clamp(count, int{SHRT_MIN}, int{SHRT_MAX})));
}

void Printer::beginDoc() {
    if (printing_) throw PrinterError(kPrintingInProgress);
    ++progress_;
    startDoc(title_);
    printing_ = true;
    aborted_ = false;
}

void Printer::newPage() {
    if (!printing_) throw PrinterError(kNotPrinting);
    ++progress_;
    endPage();
    startPage();
}

void Printer::endDoc() {
    if (!printing_) throw PrinterError(kNotPrinting);
    // A failing EndPage still leaves the document closed, so the next job can begin one.
    struct Closer {
        bool& printing;
        ~Closer() { printing = false; }
    } closer{printing_};
    ++progress_;
    endPage();
    if (!aborted_) finishDoc();
}

void Printer::abort() {
    if (!printing_) throw PrinterError(kNotPrinting);
    abortDoc();
    aborted_ = true;
    endDoc();
}

int Printer::pageWidth() {
    PrinterCanvas* dc = deviceContext();
    return dc ? dc->deviceCaps(DeviceCap::HorzRes) : 0;
}

int Printer::pageHeight() {
    PrinterCanvas* dc = deviceContext();
    return dc ? dc->deviceCaps(DeviceCap::VertRes) : 0;
}

}  // namespace zelmo
