// Starting Zelmo.exe at login: one value for each monitored folder, named after it, whose command
// starts this program on that folder. The setup program writes the same value, into the user's
// Run key or, for every user of the PC, into the machine's.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "shell/login_start.h"

namespace zelmo::win32 {

// The argument quoted so that CommandLineToArgvW gives it back unchanged, whatever its spaces,
// quotes and trailing backslashes.
std::wstring quotedArgument(const std::wstring& argument);

// The command the login value holds: the program, then --dir and the folder, both quoted.
std::wstring runAtLoginCommand(const std::string& program, const std::string& folder);

// The Run keys a login value may be in: the user's own, and the machine's, which only an
// administrator may change. Tests point them elsewhere.
struct RunKeys {
    HKEY user = HKEY_CURRENT_USER;
    HKEY machine = HKEY_LOCAL_MACHINE;
    std::wstring path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
};

// The login value of folder, wherever the menu or the setup program put it.
class RegistryLoginStart : public LoginStart {
  public:
    // An empty folder is the program's own, as the monitor takes it.
    RegistryLoginStart(std::string program, std::string folder, RunKeys keys = {});
    // The value is in the user's key or in the machine's.
    bool enabled() const override;
    // On: the user's value with this program's command. Off: the value goes from both keys;
    // throws ZelmoError, saying so in Polish, when the machine's cannot be changed by this user.
    void enable(bool on) override;

  private:
    void removeMachineValue() const;

    std::string program_;
    std::string folder_;
    RunKeys keys_;
};

}  // namespace zelmo::win32
