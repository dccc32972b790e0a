// What went wrong with a print, in the few kinds a user can act on, and the table that sorts
// the print systems' own codes into them. Portable: the codes are plain numbers, so the
// table for one system is checked on any other.
#pragma once

#include <cstdint>

namespace zelmo {

enum class PrintTrouble {
    General,       // nothing more precise is known
    Unreachable,   // the printer does not answer (switched off, cable, network)
    Refused,       // the printer or the print system refused this job
    Stopped,       // the printer is stopped, out of paper or takes no jobs
    NoService,     // the print system itself is not running
    DiskFull,      // no room left on the disk
    NoPermission,  // the user may not print there or write the file
};

// An IPP status code (CUPS) as a trouble; unknown codes are General.
PrintTrouble troubleOfIppStatus(int status);
// A Windows system error code (GetLastError) as a trouble; unknown codes are General.
PrintTrouble troubleOfWindowsError(uint32_t code);
// An errno value (files of the PDF folder, the spool file) as a trouble.
PrintTrouble troubleOfErrno(int error);

const char* toString(PrintTrouble trouble);

}  // namespace zelmo
