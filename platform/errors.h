// The one base of every failure the system shows to the user.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/print_trouble.h"

namespace zelmo {

// Errors the worker catches and shows in a message box; the message is the text shown.
class ZelmoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A refused or failed printer-object operation ("Printing in progress", ...). The trouble says
// in which of the kinds a user can act on it falls; the message is the system's own.
class PrinterError : public ZelmoError {
  public:
    explicit PrinterError(const std::string& message, PrintTrouble trouble = PrintTrouble::General)
        : ZelmoError(message), trouble_(trouble) {}
    PrintTrouble trouble() const { return trouble_; }

  private:
    PrintTrouble trouble_;
};

// The printer or the print system takes no document at all (the print system unreachable, the
// printer missing, stopped or refusing jobs): no job is at fault, so the queue waits for the
// printer instead of counting the job's attempts.
class PrinterUnavailable : public PrinterError {
  public:
    using PrinterError::PrinterError;
};

// A failure of the operating system or a platform service (files, print system).
class PlatformError : public ZelmoError {
  public:
    using ZelmoError::ZelmoError;
};

// A job given up by the system itself: memory ran out, a page or the job went past a limit, or
// something unforeseen failed. The window words the reason for the user; what() is for logs.
class JobError : public ZelmoError {
  public:
    enum class Reason { OutOfMemory, PageTooLarge, TooManySheets, Unexpected };

    explicit JobError(Reason reason, const std::string& detail = std::string())
        : ZelmoError(describe(reason) + (detail.empty() ? "" : ": " + detail)),
          reason_(reason),
          detail_(detail) {}
    Reason reason() const { return reason_; }
    // The job itself is at fault: printing it again would fail the same way.
    bool repeats() const {
        return reason_ == Reason::PageTooLarge || reason_ == Reason::TooManySheets;
    }
    // What the failing part said, for Unexpected; may be empty.
    const std::string& detail() const { return detail_; }

  private:
    // The reason in the developer's words.
    static std::string describe(Reason reason) {
        switch (reason) {
            case Reason::OutOfMemory:
                return "out of memory";
            case Reason::PageTooLarge:
                return "page larger than the raster page limit";
            case Reason::TooManySheets:
                return "more printer pages than a job may send";
            case Reason::Unexpected:
                break;
        }
        return "unexpected failure";
    }

    Reason reason_;
    std::string detail_;
};

}  // namespace zelmo
