// The print system's printers, as a platform offers them to choose from.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zelmo {

class Printer;
struct PrinterGeometry;

// The print system's printers, as the platform sees them.
class PrinterDirectory {
  public:
    virtual ~PrinterDirectory() = default;
    // The names of every printer the print system offers.
    virtual std::vector<std::string> destinations() = 0;
    // The print system's default printer; empty when it has none (or cannot be reached).
    virtual std::string defaultDestination() = 0;
    // True when the print system has a printer of this name.
    virtual bool exists(const std::string& name) = 0;
    // Opens a printer by name, or the PDF folder for an empty name; null when it cannot be.
    virtual std::unique_ptr<Printer> open(const std::string& name) = 0;
    // True when a question since the last call went unanswered in time: the answers since (an
    // empty default, a printer not found) say nothing. Until the call, nothing more is asked.
    virtual bool takeSilence() { return false; }
    // The program is ending: a question still waiting on the print system gives up.
    virtual void stopAsking() {}
    // The sheet of the PDF folder opened from now on; any thread may call it.
    virtual void setPdfSheet(const PrinterGeometry& /*sheet*/) {}
};

}  // namespace zelmo
