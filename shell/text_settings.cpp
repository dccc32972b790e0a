// Reading and writing the text features' settings, and reaching the printer's archive.
#include "shell/text_settings.h"

#include "platform/archiving_printer.h"
#include "platform/settings.h"
#include "shell/Main.h"

namespace zelmo {
namespace {

constexpr const char* kTextSection = "Text";
constexpr const char* kArchiveSection = "Archive";

}  // namespace

TextSettings readTextSettings(const std::string& settingsFile) {
    TextSettings settings;
    const std::string page = readProfileString(settingsFile, kTextSection, "CodePage", "");
    if (!page.empty()) parseCodePage(page, settings.codePage);
    const std::string plain = readProfileString(settingsFile, kTextSection, "PlainText", "");
    if (!plain.empty()) settings.plainText = offsets::parseProfileInt(plain, 1) != 0;
    settings.archiveFolder = readProfileString(settingsFile, kArchiveSection, "Folder", "");
    return settings;
}

void writeArchiveFolder(const std::string& settingsFile, const std::string& folder) {
    writeProfileString(settingsFile, kArchiveSection, "Folder", folder);
}

void applyArchiveFolder(Printer& printer, const std::string& folder) {
    if (auto* archiving = dynamic_cast<ArchivingPrinter*>(&printer)) archiving->setFolder(folder);
}

std::vector<std::string> takeArchiveFailures(Printer& printer) {
    if (auto* archiving = dynamic_cast<ArchivingPrinter*>(&printer))
        return archiving->takeFailures();
    return {};
}

}  // namespace zelmo
