// INI profile strings over the system's own private profile functions, which keep the file's
// other sections, keys and comments.
#include <windows.h>

#include <utility>
#include <vector>

#include "platform/errors.h"
#include "platform/settings.h"
#include "platform/win32/wide.h"

namespace zelmo {

// GetPrivateProfileStringW, with a buffer grown until the value fits. The system's own default
// is a text no file holds, so that a missing key is told from an empty value: only a value read
// from the file has its comment taken off.
std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
    const std::wstring path = win32::widen(file), sectionW = win32::widen(section),
                       keyW = win32::widen(key), fallbackW = L"\x01\x02missing\x02\x01";
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = ::GetPrivateProfileStringW(
            sectionW.c_str(), keyW.c_str(), fallbackW.c_str(), buffer.data(), size, path.c_str());
        // A value that filled the buffer may have been cut short.
        if (n + 1 < size || size >= (1u << 20)) {
            const std::string value = win32::narrow(buffer.data());
            return value == win32::narrow(fallbackW.c_str()) ? fallback : profileValue(value);
        }
        buffer.resize(buffer.size() * 4);
    }
}

// WritePrivateProfileStringW; a failure is the user's to see.
void writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (!::WritePrivateProfileStringW(win32::widen(section).c_str(), win32::widen(key).c_str(),
                                      win32::widen(value).c_str(), win32::widen(file).c_str()))
        throw PlatformError("Unable to write to " + file);
}

// One key after another through the system's functions, which rewrite the file in place; the
// profile API offers no one-step replacement.
void writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values)
        writeProfileString(file, section, key, value);
}

}  // namespace zelmo
