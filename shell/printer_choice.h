// Which printer Zelmo prints to: the one the user chose (by name in Zelmo.ini, on the command
// line or in the tray menu), else the print system's default, else the PDF folder. Toolkit-
// neutral.
#pragma once

#include <string>

#include "printers/printer_directory.h"

namespace zelmo {

// The choice the user can make; kPdfFolderChoice means the PDF folder, empty the default.
constexpr const char* kPdfFolderChoice = "Wydruki";

// Where a choice leads now.
struct PrinterTarget {
    std::string name;     // the printer's name; empty for the PDF folder
    bool present = true;  // false: the print system does not offer it now, and it is waited for
};

// Where a choice leads now; inUse is the printer printed to so far (empty: none or the folder).
PrinterTarget resolvePrinter(PrinterDirectory& directory, const std::string& choice,
                             const std::string& inUse);

}  // namespace zelmo
