// Which printer Zelmo prints to: the one the user chose (by name in Zelmo.ini, on the command
// line or in the tray menu), else the print system's default, else the PDF folder. Toolkit-
// neutral.
#pragma once

#include <string>

#include "platform/printer_directory.h"

namespace zelmo {

// The choice the user can make; kPdfFolderChoice means the PDF folder, empty the default.
constexpr const char* kPdfFolderChoice = "Wydruki";

// Where a choice leads now: the printer's name, or empty for the PDF folder.
std::string resolvePrinter(PrinterDirectory& directory, const std::string& choice);

}  // namespace zelmo
