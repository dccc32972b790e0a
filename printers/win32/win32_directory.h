// The spooler's printers as the printers Zelmo can choose from: local printers and printer
// connections, the user's default, each opened by name; and the PDF folder.
#pragma once

#include <mutex>
#include <string>

#include "printers/pdf/pdf_printers.h"
#include "printers/printer_directory.h"

namespace zelmo {

class Win32PrinterDirectory : public PrinterDirectory {
  public:
    // pdfFolder: where the built-in PDF printer writes.
    // pdfSheet: the PDF printer's sheet.
    explicit Win32PrinterDirectory(std::string pdfFolder,
                                   const PrinterGeometry& pdfSheet = PdfFolderPrinter::a4())
        : pdfFolder_(std::move(pdfFolder)), pdfSheet_(pdfSheet) {}

    std::vector<std::string> destinations() override;
    std::string defaultDestination() override;
    bool exists(const std::string& name) override;
    std::unique_ptr<Printer> open(const std::string& name) override;
    void setPdfSheet(const PrinterGeometry& sheet) override {
        std::lock_guard<std::mutex> guard(sheetLock_);
        pdfSheet_ = sheet;
    }

  private:
    std::string pdfFolder_;
    // Set on the window's thread, read where the printer is opened (the lookout's thread).
    mutable std::mutex sheetLock_;
    PrinterGeometry pdfSheet_;
};

}  // namespace zelmo
