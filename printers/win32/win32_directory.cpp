// The spooler's printers through winspool: every question asks the spooler afresh, so a default
// changed in the system's settings or a printer added meanwhile is seen at once.
#include "printers/win32/win32_directory.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide.h"
#include "printers/pdf/pdf_printers.h"
#include "printers/win32/win32_printer.h"

namespace zelmo {

// Local printers and connections to shared ones, in the spooler's order (level 4 asks no
// server for details, so a share that is down does not hold the menu up).
std::vector<std::string> Win32PrinterDirectory::destinations() {
    constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    ::EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (needed == 0 || !::EnumPrintersW(kFlags, nullptr, 4, buffer.data(), needed, &needed, &count))
        return names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (printers[i].pPrinterName) names.push_back(win32::narrow(printers[i].pPrinterName));
    return names;
}

// The user's default printer, as the printer object finds it; empty when there is none.
std::string Win32PrinterDirectory::defaultDestination() {
    return Win32Printer::defaultPrinter();
}

// Whether the spooler has the printer: listed ones (asked often, and without a server), else
// shares named by their full path that the spooler can open.
bool Win32PrinterDirectory::exists(const std::string& name) {
    if (name.empty()) return false;
    const std::vector<std::string> listed = destinations();
    if (std::find(listed.begin(), listed.end(), name) != listed.end()) return true;
    std::wstring wide = win32::widen(name);
    HANDLE printer = nullptr;
    if (!::OpenPrinterW(wide.data(), &printer, nullptr)) return false;
    ::ClosePrinter(printer);
    return true;
}

// The named printer when the spooler has it (null when it does not); the PDF folder's for none.
std::unique_ptr<Printer> Win32PrinterDirectory::open(const std::string& name) {
    if (name.empty()) {
        std::lock_guard<std::mutex> guard(sheetLock_);
        return std::make_unique<PdfFolderPrinter>(pdfFolder_, pdfSheet_);
    }
    if (!exists(name)) return nullptr;
    return std::make_unique<Win32Printer>(name);
}

}  // namespace zelmo
