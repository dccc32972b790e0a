// INI profile strings over SimpleIni, which keeps comments and the order of the file.
#include <SimpleIni.h>

#include "platform/errors.h"
#include "platform/settings.h"

namespace zelmo {
namespace {

// Loads file into ini; a missing file is an empty one, as for the Windows functions.
void loadIni(CSimpleIniA& ini, const std::string& file) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    ini.LoadFile(file.c_str());
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
    CSimpleIniA ini;
    loadIni(ini, file);
    ini.SetValue(section.c_str(), key.c_str(), value.c_str());
    if (ini.SaveFile(file.c_str(), false) < 0) throw PlatformError("Unable to write to " + file);
}

}  // namespace zelmo
