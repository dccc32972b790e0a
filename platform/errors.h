// The one base of every failure the system shows to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace zelmo {

// Errors the worker catches and shows in a message box; the message is the text shown.
class ZelmoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A refused or failed printer-object operation ("Printing in progress", ...).
class PrinterError : public ZelmoError {
  public:
    using ZelmoError::ZelmoError;
};

// A failure of the operating system or a platform service (files, print system).
class PlatformError : public ZelmoError {
  public:
    using ZelmoError::ZelmoError;
};

}  // namespace zelmo
