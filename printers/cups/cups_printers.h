// The Linux printer objects: every printer document is written as a PDF at the device's
// resolution, then handed to CUPS or published in a folder beside the program.
#pragma once

#include <memory>
#include <string>

#include "printers/cups/cups_connection.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {

// The CUPS default destination. Documents are spooled to a temporary file as they grow and
// submitted with libcups at their end.
class CupsPrinter : public PdfDocumentPrinter {
  public:
    // The default destination of the CUPS server in use; null when there is none or no server.
    static std::unique_ptr<CupsPrinter> openDefault();
    // The destination called name ("queue" or "queue/instance"), asked over connection; null
    // when it does not exist or cupsd did not answer.
    static std::unique_ptr<CupsPrinter> openNamed(const std::string& name,
                                                  CupsConnection& connection);
    ~CupsPrinter() override;

    bool canCopy() const override { return true; }
    std::string printerName() override { return name_; }
    std::shared_ptr<SubmittedDocument> takeSubmitted() override { return std::move(submitted_); }
    // Sends a finished PDF document, read from fd's start, as a job of copies copies.
    void submit(int fd, const std::string& title);
    // Cancels a job whose document was not sent whole.
    void cancelUnsent(int jobId);

  protected:
    void applyCopies(short count) override { copies_ = count; }
    std::unique_ptr<DocumentFile> createDocumentFile(const DocumentFacts& facts) override;

  private:
    struct Destination;
    CupsPrinter(std::unique_ptr<Destination> destination, const PrinterGeometry& geometry);

    std::unique_ptr<Destination> destination_;
    CupsConnection connection_;  // the printing thread's, for its jobs
    std::string name_;
    short copies_ = 1;
    std::shared_ptr<SubmittedDocument> submitted_;  // the last document submitted
};

// The printer Zelmo prints to: the CUPS default destination, or else PDF files in pdfFolder.
std::unique_ptr<Printer> openDefaultPrinter(const std::string& pdfFolder);

}  // namespace zelmo
