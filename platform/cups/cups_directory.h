// The CUPS destinations as the printers Zelmo can choose from.
#pragma once

#include <string>

#include "platform/pdf/pdf_printers.h"
#include "platform/printer_directory.h"

namespace zelmo {

class CupsDirectory : public PrinterDirectory {
  public:
    // pdfFolder: where the built-in PDF printer writes.
    // pdfSheet: the PDF printer's sheet.
    explicit CupsDirectory(std::string pdfFolder,
                           const PrinterGeometry& pdfSheet = PdfFolderPrinter::a4())
        : pdfFolder_(std::move(pdfFolder)), pdfSheet_(pdfSheet) {}

    std::vector<std::string> destinations() override;
    std::string defaultDestination() override;
    bool exists(const std::string& name) override;
    std::unique_ptr<Printer> open(const std::string& name) override;

  private:
    std::string pdfFolder_;
    PrinterGeometry pdfSheet_;
};

}  // namespace zelmo
