// The printer object on the real spooler. Every document goes to the object's printer (for the
// default, the one it was when the object first found one), through a device context made with
// the object's device mode.
#include "printers/win32/win32_printer.h"

#include <windows.h>
#include <winspool.h>

#include "platform/errors.h"
#include "platform/win32/wide.h"
#include "printers/win32/spooler_jobs.h"

namespace zelmo {
namespace {

constexpr const char* kPrinterNotValid = "Printer selected is not valid";

// The system's text for the last error, for the message box the worker shows.
std::string lastErrorText(const char* what, DWORD error) {
    const std::string detail = win32::systemMessage(error);
    return std::string(what) + " failed" + (detail.empty() ? "" : ": " + detail);
}

// A document the spooler took without saying its job id: its progress cannot be read back, so
// the user is told it was sent, never that it printed.
class SpooledDocument : public SubmittedDocument {
  public:
    SubmittedState state() const override { return SubmittedState::Unknown; }
};

// The abort procedure: printing goes on while the document is not aborted.
BOOL CALLBACK keepPrinting(HDC, int) {
    return TRUE;
}

// The name of the default printer; empty when there is none.
std::wstring defaultPrinterName() {
    DWORD size = 0;
    ::GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return std::wstring();
    std::wstring name(size, L'\0');
    if (!::GetDefaultPrinterW(name.data(), &size)) return std::wstring();
    name.resize(wcsnlen(name.c_str(), name.size()));
    return name;
}

// The printer's default device mode, with the driver's private part; empty when it has none.
std::vector<unsigned char> defaultDeviceMode(const std::wstring& name) {
    HANDLE printer = nullptr;
    std::wstring writable = name;
    if (!::OpenPrinterW(writable.data(), &printer, nullptr)) return {};
    std::vector<unsigned char> mode;
    const LONG size = ::DocumentPropertiesW(nullptr, printer, writable.data(), nullptr, nullptr, 0);
    if (size >= static_cast<LONG>(sizeof(DEVMODEW))) {
        mode.resize(static_cast<size_t>(size));
        if (::DocumentPropertiesW(nullptr, printer, writable.data(),
                                  reinterpret_cast<DEVMODEW*>(mode.data()), nullptr,
                                  DM_OUT_BUFFER) != IDOK)
            mode.clear();
    }
    ::ClosePrinter(printer);
    return mode;
}

// Whether the spooler says the printer takes no documents now: gone, offline, paused, in error
// or being deleted. A document it refused then is the printer's failure, not the job's.
bool printerRefuses(const std::wstring& name) {
    HANDLE printer = nullptr;
    std::wstring writable = name;
    if (!::OpenPrinterW(writable.data(), &printer, nullptr)) return true;
    DWORD needed = 0;
    ::GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    bool refuses = false;
    if (needed >= sizeof(PRINTER_INFO_2W) &&
        ::GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
        const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
        constexpr DWORD kAway = PRINTER_STATUS_OFFLINE | PRINTER_STATUS_ERROR |
                                PRINTER_STATUS_NOT_AVAILABLE | PRINTER_STATUS_SERVER_UNKNOWN |
                                PRINTER_STATUS_PAUSED | PRINTER_STATUS_PENDING_DELETION;
        refuses =
            (info->Status & kAway) != 0 || (info->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
    }
    ::ClosePrinter(printer);
    return refuses;
}

}  // namespace

// The device context and the pen drawn with, released in that order: pen out of the DC first.
struct Win32Printer::Handles {
    HDC dc = nullptr;
    HPEN pen = nullptr;
    HGDIOBJ stockPen = nullptr;
    HFONT font = nullptr;  // the cell font, made for fontWidth x fontHeight cells
    HGDIOBJ stockFont = nullptr;
    int fontWidth = 0, fontHeight = 0;
    std::vector<INT> advances;  // one cell width per character of a line, reused

    ~Handles() { release(); }
    void release() {
        if (dc && stockPen) ::SelectObject(dc, stockPen);
        if (dc && stockFont) ::SelectObject(dc, stockFont);
        if (pen) ::DeleteObject(pen);
        if (font) ::DeleteObject(font);
        if (dc) ::DeleteDC(dc);
        // Field by field: assigning a fresh Handles would run its destructor, and so this
        // function, again for ever.
        dc = nullptr;
        pen = nullptr;
        stockPen = nullptr;
        font = nullptr;
        stockFont = nullptr;
        fontWidth = fontHeight = 0;
    }
};

// The spooler's answer, asked afresh each time.
std::string Win32Printer::defaultPrinter() {
    return win32::narrow(defaultPrinterName());
}

// Nothing is bound yet: the default printer is looked up when first needed.
Win32Printer::Win32Printer() : handles_(std::make_unique<Handles>()) {}

// The device mode is read once, as for the default printer.
Win32Printer::Win32Printer(const std::string& name)
    : name_(win32::widen(name)), named_(true), handles_(std::make_unique<Handles>()) {
    deviceMode_ = defaultDeviceMode(name_);
}

// An open document is abandoned rather than left half-spooled.
Win32Printer::~Win32Printer() {
    if (printing() && handles_->dc) ::AbortDoc(handles_->dc);
}

// Looks the default printer up until there is one; from then on the object keeps it.
bool Win32Printer::bind() {
    if (!name_.empty() || named_) return !name_.empty();
    name_ = defaultPrinterName();
    if (name_.empty()) return false;
    deviceMode_ = defaultDeviceMode(name_);
    return true;
}

bool Win32Printer::hasDeviceMode() const {
    return !deviceMode_.empty();
}

bool Win32Printer::canCopy() const {
    return hasDeviceMode() &&
           (reinterpret_cast<const DEVMODEW*>(deviceMode_.data())->dmFields & DM_COPIES) != 0;
}

// Makes the device context from the device mode when there is none.
PrinterCanvas* Win32Printer::deviceContext() {
    if (!handles_->dc && bind()) {
        const auto* mode =
            deviceMode_.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(deviceMode_.data());
        handles_->dc = ::CreateDCW(nullptr, name_.c_str(), nullptr, mode);
    }
    return handles_->dc ? this : nullptr;
}

std::string Win32Printer::printerName() {
    bind();
    return win32::narrow(name_);
}

// Drops the device context, so the next one is made with the current device mode.
void Win32Printer::dropContext() {
    handles_->release();
}

// Writes the count into dmCopies; the next device context carries it.
void Win32Printer::applyCopies(short count) {
    auto* mode = reinterpret_cast<DEVMODEW*>(deviceMode_.data());
    mode->dmCopies = count;
    mode->dmFields |= DM_COPIES;
    dropContext();
}

// StartDoc with the title and no output file, then the first page.
void Win32Printer::startDoc(const std::string& title) {
    submitted_.reset();
    // No device context, or a spooler that refuses to start a document: every document would
    // fare the same, so the queue waits for the printer.
    if (!deviceContext()) throw PrinterUnavailable(kPrinterNotValid);
    ::SetAbortProc(handles_->dc, keepPrinting);
    const std::wstring name = win32::widen(title);
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();
    // From StartDoc on the spooler holds the document and may print what it has.
    submitting();
    // A document the spooler refused would otherwise count as printed and its job be deleted.
    const int job = ::StartDocW(handles_->dc, &info);
    if (job <= 0) {
        const DWORD error = ::GetLastError();
        throw PrinterUnavailable(lastErrorText("StartDoc", error), troubleOfWindowsError(error));
    }
    jobId_ = static_cast<DWORD>(job);
    startPage();
}

void Win32Printer::startPage() {
    ::StartPage(handles_->dc);
}

void Win32Printer::endPage() {
    ::EndPage(handles_->dc);
}

// EndDoc; a spooler that could not take the document says so to the user.
void Win32Printer::finishDoc() {
    if (::EndDoc(handles_->dc) <= 0) {
        const DWORD error = ::GetLastError();
        const std::string message = lastErrorText("EndDoc", error);
        // A queue that refuses every job is stopped, whatever code EndDoc left.
        if (printerRefuses(name_)) {
            const PrintTrouble trouble = troubleOfWindowsError(error);
            throw PrinterUnavailable(
                message, trouble == PrintTrouble::General ? PrintTrouble::Stopped : trouble);
        }
        throw PrinterError(message, troubleOfWindowsError(error));
    }
    // StartDoc's value is the spooler's job id: the job is followed in the printer's queue.
    submitted_ = jobId_ > 0 ? followSpoolerJob(name_, jobId_) : std::make_shared<SpooledDocument>();
    jobId_ = 0;
}

// AbortDoc. Its result is not examined: some spoolers report 0 for a document they did drop.
void Win32Printer::abortDoc() {
    ::AbortDoc(handles_->dc);
}

int Win32Printer::deviceCaps(DeviceCap cap) const {
    static constexpr int kIndex[] = {HORZRES,        VERTRES,         PHYSICALWIDTH,
                                     PHYSICALHEIGHT, PHYSICALOFFSETX, PHYSICALOFFSETY,
                                     LOGPIXELSX,     LOGPIXELSY};
    return ::GetDeviceCaps(handles_->dc, kIndex[static_cast<int>(cap)]);
}

void Win32Printer::stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw,
                              int sh, Rop rop) {
    ::StretchBlt(handles_->dc, dx, dy, dw, dh, reinterpret_cast<HDC>(src), sx, sy, sw, sh,
                 rop == Rop::NotSrcCopy ? NOTSRCCOPY : SRCCOPY);
}

// A solid black pen of the width, replacing the one made before.
void Win32Printer::setPenWidth(int width) {
    penWidth_ = width;
    if (!handles_->dc) return;
    HPEN pen = ::CreatePen(PS_SOLID, width, RGB(0, 0, 0));
    HGDIOBJ previous = ::SelectObject(handles_->dc, pen);
    if (handles_->pen)
        ::DeleteObject(handles_->pen);
    else
        handles_->stockPen = previous;
    handles_->pen = pen;
}

void Win32Printer::moveTo(int x, int y) {
    ::MoveToEx(handles_->dc, x, y, nullptr);
}

void Win32Printer::lineTo(int x, int y) {
    if (!handles_->pen) setPenWidth(penWidth_);
    ::LineTo(handles_->dc, x, y);
}

void Win32Printer::textOut(int x, int y, const std::string& text) {
    const std::wstring wide = win32::widen(text);
    ::TextOutW(handles_->dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

// Courier New, one character per cell: a monospaced font every Windows has, holding the box
// drawing characters, which span its whole cell, so a table drawn with them prints as a table.
void Win32Printer::textOutCells(int x, int y, int cellWidth, int cellHeight,
                                const std::string& text) {
    if (!handles_->dc || cellWidth <= 0 || cellHeight <= 0) return;
    selectCellFont(cellWidth, cellHeight);
    const std::wstring wide = win32::widen(text);
    // Each character exactly one cell on, whatever the driver rounds the font's width to.
    handles_->advances.assign(wide.size(), cellWidth);
    ::ExtTextOutW(handles_->dc, x, y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()),
                  handles_->advances.data());
}

// Makes and selects the font of cellWidth x cellHeight cells, unless it is selected already.
void Win32Printer::selectCellFont(int cellWidth, int cellHeight) {
    if (handles_->font && handles_->fontWidth == cellWidth && handles_->fontHeight == cellHeight)
        return;
    // A positive height is the cell's, internal leading included: the box lines meet.
    HFONT font = ::CreateFontW(cellHeight, cellWidth, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               FIXED_PITCH | FF_MODERN, L"Courier New");
    if (!font) return;
    HGDIOBJ previous = ::SelectObject(handles_->dc, font);
    if (handles_->font)
        ::DeleteObject(handles_->font);
    else
        handles_->stockFont = previous;
    handles_->font = font;
    handles_->fontWidth = cellWidth;
    handles_->fontHeight = cellHeight;
}

}  // namespace zelmo
