// The sheet a CUPS filter draws on: the queue's page size, margins and resolution.
#pragma once

#include "output/code_pages.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {

// The sheet of the queue whose PPD is at ppdPath (may be null) with the job's options (CUPS's
// option string, may be null) marked: A4 at 600 dpi, all of it printable, where neither says.
PrinterGeometry filterGeometry(const char* ppdPath, const char* options);

// The code page of a bare-text job, from the "zelmo-code-page" option (a name the monitor's
// settings take: CP852, Mazovia, ...); CP852 where the option is missing or unknown.
CodePage filterCodePage(const char* options);

// Dots per inch of a resolution such as "600dpi" or "300x600dpi"; x and y stay as they are
// when the text is not one.
void parseResolution(const char* text, int& x, int& y);

}  // namespace zelmo
