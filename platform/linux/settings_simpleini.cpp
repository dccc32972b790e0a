// INI profile strings over SimpleIni, which keeps comments and the order of the file.
#include <SimpleIni.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/settings.h"

namespace zelmo {
namespace {

// Loads file into ini; a missing file is an empty one, as for the Windows functions. Only a
// small regular file is read (a FIFO would hang start-up); false when something is there that
// could not be read.
bool loadIni(CSimpleIniA& ini, const std::string& file) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    std::string text;
    if (!files::readSmallFile(file, text)) return !files::exists(file);
    return ini.LoadData(text) >= 0;
}

// The error of a settings file that could not be written, with the system's reason.
PlatformError writeError(const std::string& file, int error) {
    return PlatformError("Unable to write to " + file + ": " + std::strerror(error));
}

}  // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
    CSimpleIniA ini;
    loadIni(ini, file);
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? profileValue(value) : fallback;
}

void writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    writeProfileStrings(file, section, {{key, value}});
}

void writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    CSimpleIniA ini;
    // A file that is there but cannot be read would lose its other sections if rewritten.
    if (!loadIni(ini, file)) throw writeError(file, EINVAL);
    for (const auto& [key, value] : values)
        ini.SetValue(section.c_str(), key.c_str(), value.c_str());
    std::string text;
    if (ini.Save(text) < 0) throw writeError(file, ENOMEM);
    if (!files::replaceFileAtomically(file, text)) throw writeError(file, errno);
}

}  // namespace zelmo
