// The process's printer object when the printer can change while the program runs: it stands
// for whichever printer is in use and hands every document to it whole, so the pipeline keeps
// one printer object while the window replaces the printer behind it between jobs.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/printer.h"

namespace zelmo {

class PrinterSwitch : public Printer {
  public:
    explicit PrinterSwitch(std::unique_ptr<Printer> printer);

    // Puts another printer in place; only between documents (false while one is printing, and
    // the printer in use stays). The caller makes sure the worker holds no job.
    bool replace(std::unique_ptr<Printer> printer);
    Printer& current() { return *current_; }

    bool canCopy() const override { return current_->canCopy(); }
    PrinterCanvas* deviceContext() override { return current_->deviceContext(); }
    std::string printerName() override { return current_->printerName(); }
    std::shared_ptr<SubmittedDocument> takeSubmitted() override {
        return current_->takeSubmitted();
    }
    void jobEnded(bool printed) noexcept override { current_->jobEnded(printed); }
    std::string lastDocumentPath() override { return current_->lastDocumentPath(); }

  protected:
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override;
    void finishDoc() override;
    void abortDoc() override;
    // The printer in use refuses a copy count itself, with its own message.
    void applyCopies(short count) override { current_->setCopies(count); }

  private:
    std::unique_ptr<Printer> current_;
    // A page end is passed on with what follows it: a new page or the document's end.
    bool pageEnded_ = false;
};

// Stands in for a chosen printer the print system does not offer now: it has no device context,
// so a job handed over finds no printer and the queue waits, nothing sent anywhere else.
class AbsentPrinter : public Printer {
  public:
    explicit AbsentPrinter(std::string name) : name_(std::move(name)) {}

    bool canCopy() const override { return false; }
    PrinterCanvas* deviceContext() override { return nullptr; }
    std::string printerName() override { return name_; }

  protected:
    bool hasDeviceMode() const override { return false; }
    void startDoc(const std::string& title) override;
    void startPage() override {}
    void endPage() override {}
    void finishDoc() override {}
    void abortDoc() override {}
    void applyCopies(short) override {}

  private:
    std::string name_;
};

}  // namespace zelmo
