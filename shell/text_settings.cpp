// Reading and writing the text features' settings, and reaching the printer's archive.
#include "shell/text_settings.h"

#include <algorithm>

#include "platform/settings.h"
#include "printers/archiving_printer.h"
#include "printers/pdf/pdf_printers.h"
#include "shell/main_form.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

constexpr const char* kTextSection = "Text";
constexpr const char* kArchiveSection = "Archive";

// Whether path starts at a root: "/", "\\" or a drive ("C:"). Read on Linux as well, where a
// folder named like a drive is not worth a difference between the platforms.
bool isAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' ||
                             (path.size() >= 2 && path[1] == ':' &&
                              // An ASCII letter of either case, whatever the locale says.
                              ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z')));
}

// A relative folder lies in the settings file's folder, the monitor's own, not in the working
// directory, which a desktop entry, a service or a shortcut sets to anything.
std::string folderBeside(const std::string& settingsFile, const std::string& folder) {
    if (folder.empty() || isAbsolute(folder)) return folder;
    return settingsFile.substr(0, settingsFile.find_last_of("/\\") + 1) + folder;
}

}  // namespace

TextSettings readTextSettings(const std::string& settingsFile) {
    TextSettings settings;
    const std::string page = readProfileString(settingsFile, kTextSection, "CodePage", "");
    if (!page.empty() && !parseCodePage(page, settings.codePage))
        settings.ignored.push_back("CodePage=" + page);
    const std::string plain = readProfileString(settingsFile, kTextSection, "PlainText", "");
    int32_t plainValue = 1;
    if (!plain.empty() && !offsets::readProfileInt(plain, plainValue))
        settings.ignored.push_back("PlainText=" + plain);
    settings.plainText = plainValue != 0;
    std::string paper = readProfileString(settingsFile, texts::kOwnSection, "Paper", "");
    std::string lower = paper;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!paper.empty() && lower != "a4" && lower != "letter")
        settings.ignored.push_back("Paper=" + paper);
    settings.archiveFolder =
        folderBeside(settingsFile, readProfileString(settingsFile, kArchiveSection, "Folder", ""));
    return settings;
}

PrinterGeometry readPdfSheet(const std::string& settingsFile) {
    const std::string paper = readProfileString(settingsFile, texts::kOwnSection, "Paper", "");
    // Compared letter by letter in ASCII: tolower follows the process locale.
    const std::string letter = "letter";
    const bool isLetter =
        paper.size() == letter.size() &&
        std::equal(paper.begin(), paper.end(), letter.begin(),
                   [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
    return isLetter ? PdfFolderPrinter::letter() : PdfFolderPrinter::a4();
}

int32_t codePageIndex(CodePage page) {
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kCodePages)); ++i)
        if (kCodePages[i] == page) return i;
    return 0;
}

void writeCodePage(const std::string& settingsFile, CodePage page) {
    writeProfileString(settingsFile, kTextSection, "CodePage", codePageName(page));
}

void writeArchiveFolder(const std::string& settingsFile, const std::string& folder) {
    writeProfileString(settingsFile, kArchiveSection, "Folder", folder);
}

void applyArchiveFolder(Printer& printer, const std::string& folder) {
    if (auto* archiving = dynamic_cast<ArchivingPrinter*>(&printer)) archiving->setFolder(folder);
}

std::vector<ArchiveFailure> takeArchiveFailures(Printer& printer) {
    std::vector<ArchiveFailure> all;
    auto* archiving = dynamic_cast<ArchivingPrinter*>(&printer);
    if (!archiving) return all;
    for (std::string& message : archiving->takeFailures())
        all.push_back({std::move(message), {}});
    for (std::string& message : archiving->takeMoveFailures())
        all.push_back({std::move(message), archiving->staging()});
    return all;
}

}  // namespace zelmo
