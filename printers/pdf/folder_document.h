// Where the PDF folder printer's documents grow: a hidden partial file of the folder, published
// under its name (never replacing a file of that name) when the document is complete. Each
// platform has its own file calls for it.
#pragma once

#include <memory>
#include <string>

#include "printers/pdf/pdf_printers.h"

namespace zelmo {

// The partial file of a document to be named name (".pdf" and, when taken, " (2)" ... added);
// the folder is created when missing. Throws PrinterError.
std::unique_ptr<DocumentFile> createFolderDocument(const std::string& folder,
                                                   const std::string& name);

// Removes the partial files that no running document holds: what a killed run left.
void removeStalePartials(const std::string& folder);

}  // namespace zelmo
