// Asking the print system which printer to print on, on a thread of its own: a print server
// that is stopped or stuck must never hold the window thread, and with it the capture of the
// printouts and the control channel. The window waits a moment for the answer; one that comes
// later is taken at a later tick. Toolkit-neutral.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/print_trouble.h"
#include "shell/printer_choice.h"

namespace zelmo {

class Printer;

// What one look at the print system found.
struct PrinterLook {
    PrinterTarget target;
    bool unchanged = false;            // the printer in use is still the one to print on
    std::unique_ptr<Printer> printer;  // the target's printer object, opened when it changed
    PrintTrouble absence = PrintTrouble::Unreachable;  // why a target not present is away
    std::vector<std::string> destinations;             // every printer it offers
    bool silent = false;  // the print system did not answer in time: nothing above holds
};

class PrinterLookout {
  public:
    using Question = std::function<PrinterLook()>;
    PrinterLookout();
    // Waits for a question still out, which the print system's patience bounds.
    ~PrinterLookout();
    PrinterLookout(const PrinterLookout&) = delete;
    PrinterLookout& operator=(const PrinterLookout&) = delete;

    // Asks question on the lookout's thread; false while an earlier one is still out.
    bool ask(Question question);
    // Whether a question is out and its answer not yet taken.
    bool asking() const;
    // The answer, waiting up to wait for it; none while it has not come.
    std::optional<PrinterLook> answer(std::chrono::milliseconds wait);

  private:
    void run();

    mutable std::mutex lock_;
    std::condition_variable changed_;
    Question question_;
    std::optional<PrinterLook> answer_;
    bool out_ = false;  // asked, answer not taken
    bool stop_ = false;
    std::thread thread_;  // last: started once the members it uses are made
};

}  // namespace zelmo
