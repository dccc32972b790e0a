// The printer object over a Windows printer (the default one, or one chosen by name): the
// spooler's own StartDoc ... EndDoc on a printer device context made from the printer's device
// mode.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace zelmo {

class Win32Printer : public Printer, private PrinterCanvas {
  public:
    // The default printer, bound when the first one appears.
    Win32Printer();
    // The printer of this name, as the spooler knows it.
    explicit Win32Printer(const std::string& name);
    // The user's default printer now; empty when there is none.
    static std::string defaultPrinter();
    ~Win32Printer() override;
    Win32Printer(const Win32Printer&) = delete;
    Win32Printer& operator=(const Win32Printer&) = delete;

    // DM_COPIES among the device mode's fields: the driver makes the copies.
    bool canCopy() const override;
    // The printer's device context, made on first use; null when there is no default printer.
    PrinterCanvas* deviceContext() override;
    std::string printerName() override;
    std::shared_ptr<SubmittedDocument> takeSubmitted() override { return std::move(submitted_); }

  protected:
    bool hasDeviceMode() const override;
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override;
    void finishDoc() override;
    void abortDoc() override;
    void applyCopies(short count) override;

  private:
    int deviceCaps(DeviceCap cap) const override;
    void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw, int sh,
                    Rop rop) override;
    void setPenWidth(int width) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, const std::string& text) override;
    void textOutCells(int x, int y, int cellWidth, int cellHeight,
                      const std::string& text) override;
    void selectCellFont(int cellWidth, int cellHeight);

    // Binds the object to its printer (the default, once one exists) and reads its device mode.
    bool bind();
    // Drops the device context (and the pen selected into it).
    void dropContext();

    struct Handles;
    std::wstring name_;
    bool named_ = false;                     // chosen by name: never rebound to the default
    std::vector<unsigned char> deviceMode_;  // DEVMODEW with the driver's private part
    int penWidth_ = 1;
    std::unique_ptr<Handles> handles_;
    std::shared_ptr<SubmittedDocument> submitted_;  // the last document the spooler took
    unsigned long jobId_ = 0;                       // the open document's spooler job, 0: none
};

}  // namespace zelmo
