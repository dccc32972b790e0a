// INI profile strings: the settings file beside the program.
//
// Behaves as Windows' private profile functions do: section and key names match without regard
// to case, and a write keeps every other section, key and comment of the file.
#pragma once

#include <string>

namespace zelmo {

// GetPrivateProfileString: the value of key in section, or fallback when the file, the section
// or the key is missing.
std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);

// WritePrivateProfileString: sets key in section, creating the file, section or key as needed.
// Throws PlatformError when the file cannot be written.
void writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace zelmo
