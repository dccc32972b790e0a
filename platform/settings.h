// INI profile strings: the settings file beside the program.
//
// Behaves as Windows' private profile functions do: section and key names match without regard
// to case, and a write keeps every other section, key and comment of the file. Only a regular
// file is read: a missing or unusable one reads as empty.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zelmo {

// GetPrivateProfileString: the value of key in section, or fallback when the file, the section
// or the key is missing. The value is as profileValue makes it.
std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);

// A value as the file holds it, made into what it means: blanks and quotes around it dropped (as
// the Windows functions drop them), then a comment after it (";" or "#" at its start or after a
// blank, as in "CodePage=Mazovia ; comment") left out.
std::string profileValue(const std::string& raw);

// WritePrivateProfileString: sets key in section, creating the file, section or key as needed.
// Throws PlatformError when the file cannot be written.
void writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

// Sets several keys of one section, in order, as writeProfileString would one after another.
// Where the platform can, the file is replaced in one step, so a failed save (a full disk)
// leaves the old file whole; throws PlatformError when the file cannot be written.
void writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace zelmo
