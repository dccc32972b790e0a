// INI profile strings over SimpleIni, which keeps comments and the order of the file.
#include <SimpleIni.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/settings.h"

namespace zelmo {
namespace {

// No settings file comes near this; a larger one is not taken for one.
constexpr std::size_t kMaxSettingsBytes = std::size_t{1} << 20;

// Loads file into ini; a missing file is an empty one, as for the Windows functions. Anything
// but a regular file (a FIFO would hang start-up) is not read; the result says what was found.
files::ReadResult loadIni(CSimpleIniA& ini, const std::string& file) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    std::string text;
    const files::ReadResult found = files::readRegularFile(file, kMaxSettingsBytes, text);
    if (found == files::ReadResult::Read && ini.LoadData(text) < 0)
        return files::ReadResult::Unusable;
    return found;
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
    return value ? std::string(value) : fallback;
}

void writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    writeProfileStrings(file, section, {{key, value}});
}

void writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    CSimpleIniA ini;
    // A file that is there but cannot be read would lose its other sections if rewritten.
    if (loadIni(ini, file) == files::ReadResult::Unusable) throw writeError(file, EINVAL);
    for (const auto& [key, value] : values)
        ini.SetValue(section.c_str(), key.c_str(), value.c_str());
    std::string text;
    if (ini.Save(text) < 0) throw writeError(file, ENOMEM);
    if (!files::replaceFile(file, text)) throw writeError(file, errno);
}

}  // namespace zelmo
