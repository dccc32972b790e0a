// The spooler's printers as the printers Zelmo can choose from: local printers and printer
// connections, the user's default, each opened by name.
#pragma once

#include <string>

#include "platform/printer_directory.h"

namespace zelmo {

class Win32PrinterDirectory : public PrinterDirectory {
  public:
    std::vector<std::string> destinations() override;
    std::string defaultDestination() override;
    bool exists(const std::string& name) override;
    // A printer by name; for an empty name the default printer, bound once there is one, since
    // Windows has no printer of Zelmo's own to stand in.
    std::unique_ptr<Printer> open(const std::string& name) override;
};

}  // namespace zelmo
