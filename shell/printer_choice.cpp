// Resolving the user's printer choice against what the print system offers right now.
#include "shell/printer_choice.h"

namespace zelmo {

// A chosen printer, or a default one that went away (the print system stopped, the queue
// removed), is waited for: its jobs must not turn up as files in a folder nobody looks at. The
// PDF folder prints only when chosen, or when no printer was ever there to print on.
PrinterTarget resolvePrinter(PrinterDirectory& directory, const std::string& choice,
                             const std::string& inUse) {
    if (choice == kPdfFolderChoice) return {};
    if (!choice.empty()) return {choice, directory.exists(choice)};
    std::string fallback = directory.defaultDestination();
    if (!fallback.empty()) return {fallback, true};
    if (!inUse.empty()) return {inUse, directory.exists(inUse)};
    return {};
}

}  // namespace zelmo
