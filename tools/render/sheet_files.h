// Writes printed sheets as numbered PBM (or PNG) files, dropping those of aborted documents.
#pragma once

#include <string>
#include <vector>

#include "printers/simulated/simulated_printer.h"

namespace zelmo {

// Writes a sheet as binary PBM (P4), 1 = black; false when the file cannot be written.
bool writePbm(const std::string& path, const Sheet& sheet);
// Writes a sheet as a 1-bit greyscale PNG; false when it cannot (or PNG support is missing).
bool writePng(const std::string& path, const Sheet& sheet);

class SheetFiles : public SheetSink {
  public:
    SheetFiles(std::string dir, bool png) : dir_(std::move(dir)), png_(png) {}

    void beginDocument(const std::string&) override { current_.clear(); }
    void sheet(const Sheet& sheet) override;
    void endDocument() override { current_.clear(); }
    void abortDocument() override;

    int sheetsKept() const { return next_ - 1; }
    bool failed() const { return failed_; }

  private:
    std::string dir_;
    bool png_;
    int next_ = 1;
    std::vector<std::string> current_;  // files of the open document
    bool failed_ = false;
};

}  // namespace zelmo
