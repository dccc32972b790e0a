// Starting Zelmo.exe at login: one value under HKCU\Software\Microsoft\Windows\CurrentVersion\Run
// for each monitored folder, whose command starts this program on that folder.
#pragma once

#include <string>
#include <utility>

#include "shell/login_start.h"

namespace zelmo::win32 {

// The argument quoted so that CommandLineToArgvW gives it back unchanged, whatever its spaces,
// quotes and trailing backslashes.
std::wstring quotedArgument(const std::wstring& argument);

// The command the login value holds: the program, then --dir and the folder, both quoted.
std::wstring runAtLoginCommand(const std::string& program, const std::string& folder);

// True when the login value of folder exists.
bool runAtLoginEnabled(const std::string& folder);

// Writes (enabled) or removes the login value of folder; throws ZelmoError with the system's
// message when the registry refuses.
void setRunAtLogin(const std::string& program, const std::string& folder, bool enabled);

// The login value that starts program on folder.
class RegistryLoginStart : public LoginStart {
  public:
    RegistryLoginStart(std::string program, std::string folder)
        : program_(std::move(program)), folder_(std::move(folder)) {}
    bool enabled() const override { return runAtLoginEnabled(folder_); }
    void enable(bool on) override { setRunAtLogin(program_, folder_, on); }

  private:
    std::string program_;
    std::string folder_;
};

}  // namespace zelmo::win32
