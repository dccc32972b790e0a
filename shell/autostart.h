// Starting Zelmo at login on a freedesktop.org desktop: an XDG autostart entry for each monitored
// folder, which starts this program on that folder.
#pragma once

#include <string>

namespace zelmo {

// Where the desktop looks for login entries: $XDG_CONFIG_HOME/autostart, else
// $HOME/.config/autostart; empty when neither variable is set.
std::string autostartDirectory();

// The entry's file for a folder, inside the autostart folder directory.
std::string autostartEntryPath(const std::string& directory, const std::string& folder);

// The text of the entry that starts program on folder. Throws ZelmoError for a path that a
// desktop entry cannot carry (control characters, bytes that are not UTF-8).
std::string autostartEntry(const std::string& program, const std::string& folder);

// True when the login entry of folder exists.
bool autostartEnabled(const std::string& directory, const std::string& folder);

// Writes (enabled) or removes the login entry of folder; throws ZelmoError with the system's
// message when the file cannot be written or removed.
void setAutostart(const std::string& directory, const std::string& program,
                  const std::string& folder, bool enabled);

}  // namespace zelmo
