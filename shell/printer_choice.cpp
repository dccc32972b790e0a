// Resolving the user's printer choice against what the print system offers right now.
#include "shell/printer_choice.h"

namespace zelmo {

// A chosen printer that is gone gives way to the default, and no default to the PDF folder, so
// that a job is never held back for a printer nobody can bring back from here.
std::string resolvePrinter(PrinterDirectory& directory, const std::string& choice) {
    if (choice == kPdfFolderChoice) return {};
    if (!choice.empty() && directory.exists(choice)) return choice;
    return directory.defaultDestination();
}

}  // namespace zelmo
