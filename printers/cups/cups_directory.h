// The CUPS destinations as the printers Zelmo can choose from. Its questions may wait on cupsd
// (up to its patience): asked off the window thread, by one thread at a time.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "printers/cups/cups_connection.h"
#include "printers/pdf/pdf_printers.h"
#include "printers/printer_directory.h"

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
    void setPdfSheet(const PrinterGeometry& sheet) override {
        std::lock_guard<std::mutex> guard(sheetLock_);
        pdfSheet_ = sheet;
    }
    bool takeSilence() override;
    void stopAsking() override { stop_ = true; }

  private:
    // The connection for the next question; null after a silence, until it is taken.
    http_t* ask();
    // Notes whether the question just asked went unanswered.
    void heard();

    std::atomic<bool> stop_{false};
    CupsConnection connection_{&stop_};  // one thread asks at a time
    bool silent_ = false;
    std::string pdfFolder_;
    // Set on the window's thread, read where the printer is opened (the lookout's thread).
    mutable std::mutex sheetLock_;
    PrinterGeometry pdfSheet_;
};

}  // namespace zelmo
