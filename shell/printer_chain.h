// The printers every document goes through, as both programs assemble them: the switch that holds
// the printer chosen among the system's, and the archive that keeps a copy of each document.
#pragma once

#include <string>

#include "printers/archive_mover.h"
#include "printers/archiving_printer.h"
#include "printers/pdf/pdf_printers.h"
#include "printers/printer_directory.h"
#include "printers/printer_switch.h"
#include "shell/texts.h"

namespace zelmo {

struct PrinterChain {
    // folder is the monitored folder (ending with a separator); the printer the directory opens
    // for no name stands in until the form chooses one.
    PrinterChain(PrinterDirectory& directory, const std::string& folder)
        : printers(directory.open({})),
          mover(folder + texts::kArchiveStagingName),
          archiving(printers, openArchivePrinter, mover) {}

    PrinterSwitch printers;
    // Copies wait in the program's folder and move on their own thread: an archive folder on a
    // hung share never holds the print.
    ArchiveMover mover;
    // What the form prints on: the chosen printer, with a copy into the archive when one is set.
    ArchivingPrinter archiving;
};

}  // namespace zelmo
