// A printer that takes every call and keeps nothing: the interpreter's own cost, measured alone.
#pragma once

#include "platform/printer.h"
#include "printers/simulated/simulated_printer.h"

#include <functional>
#include <string>
#include <utility>

namespace zelmo::bench {

class DiscardPrinter : public Printer, private PrinterCanvas {
  public:
    explicit DiscardPrinter(SimulatedPrinterConfig geometry) : geometry_(std::move(geometry)) {}

    bool canCopy() const override { return false; }
    PrinterCanvas* deviceContext() override { return this; }
    std::string printerName() override { return geometry_.printerName(); }
    // Printer pages begun (each document's first page included), documents begun, ended and
    // aborted.
    int pages() const { return pages_; }
    int documents() const { return documents_; }
    int ended() const { return ended_; }
    int abortedDocuments() const { return aborted_; }
    // Called with the number of pages begun so far, as each page begins.
    void setPageHook(std::function<void(int)> hook) { pageHook_ = std::move(hook); }

  protected:
    void startDoc(const std::string&) override {
        ++documents_;
        startPage();
    }
    void startPage() override {
        ++pages_;
        if (pageHook_) pageHook_(pages_);
    }
    void endPage() override {}
    void finishDoc() override { ++ended_; }
    void abortDoc() override { ++aborted_; }
    void applyCopies(short) override {}

  private:
    // The geometry of the simulated printer it stands in for.
    int deviceCaps(DeviceCap cap) const override {
        return geometry_.deviceContext()->deviceCaps(cap);
    }
    void stretchBlt(int, int, int, int, gdi::Dc, int, int, int, int, Rop) override {}
    void setPenWidth(int) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int, int, const std::string&) override {}

    mutable SimulatedPrinter geometry_;
    std::function<void(int)> pageHook_;
    int pages_ = 0;
    int documents_ = 0;
    int ended_ = 0;
    int aborted_ = 0;
};

}  // namespace zelmo::bench
