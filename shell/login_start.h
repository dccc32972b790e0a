// Starting the monitor of this folder at login, whatever the desktop keeps for it: an XDG
// autostart entry on Linux, a Run value in the registry on Windows.
#pragma once

#include <string>
#include <utility>

namespace zelmo {

class LoginStart {
  public:
    virtual ~LoginStart() = default;
    // Whether the entry exists now; the user may remove it by other means at any time.
    virtual bool enabled() const = 0;
    // Writes or removes the entry; throws ZelmoError with the system's message.
    virtual void enable(bool on) = 0;
};

// The XDG autostart entry that starts program on folder.
class XdgLoginStart : public LoginStart {
  public:
    XdgLoginStart(std::string program, std::string folder)
        : program_(std::move(program)), folder_(std::move(folder)) {}
    bool enabled() const override;
    void enable(bool on) override;

  private:
    std::string program_;
    std::string folder_;
};

}  // namespace zelmo
