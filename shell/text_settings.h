// The settings of the text features, in sections of their own in Zelmo.ini: the code page of
// the jobs' text, plain-text jobs on or off, and the archive folder of every printout.
//
//   [Text]
//   CodePage=CP852        ; CP852, Mazovia, Windows-1250, ISO-8859-2 or CP437
//   PlainText=1           ; 0: a job of bare text prints nothing, as before
//   [Archive]
//   Folder=/srv/archiwum  ; empty or missing: no archive
#pragma once

#include <string>
#include <vector>

#include "output/code_pages.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {

class Printer;

// The code pages the settings window offers, in its list's order.
inline constexpr CodePage kCodePages[] = {CodePage::Cp852, CodePage::Mazovia, CodePage::Windows1250,
                                          CodePage::Iso8859_2, CodePage::Cp437};
// A code page's place in kCodePages.
int32_t codePageIndex(CodePage page);

struct TextSettings {
    CodePage codePage = kDefaultCodePage;
    bool plainText = true;
    std::string archiveFolder;         // a relative one is taken from the settings file's folder
    std::vector<std::string> ignored;  // "key=value" of each value not understood
};

// Reads both sections; a value that cannot be read keeps its default and is listed in ignored.
TextSettings readTextSettings(const std::string& settingsFile);
// Stores the archive folder; throws PlatformError when the file cannot be written.
// The PDF folder's sheet: A4, or Letter with "Paper=Letter" in [Zelmo].
PrinterGeometry readPdfSheet(const std::string& settingsFile);

void writeArchiveFolder(const std::string& settingsFile, const std::string& folder);
// Stores the code page by its name; throws PlatformError when the file cannot be written.
void writeCodePage(const std::string& settingsFile, CodePage page);

// Points the printer's archive at folder, when the printer keeps one.
void applyArchiveFolder(Printer& printer, const std::string& folder);
// An archive's failure: the reason and, when copies could not be moved, the folder where they
// wait for the archive (empty: one document's copy was given up).
struct ArchiveFailure {
    std::string message;
    std::string waitingIn;
};
// The archive's failures since the last call, when the printer keeps an archive.
std::vector<ArchiveFailure> takeArchiveFailures(Printer& printer);

}  // namespace zelmo
