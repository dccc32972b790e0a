// XDG autostart entries: one file per folder, its Exec line quoted so that any path a desktop
// entry can carry reaches the program as one argument, unchanged.
#include "shell/autostart.h"
#include "shell/login_start.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/errors.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

// The folder as an absolute path without a trailing slash, so that one folder has one entry
// however it was typed.
std::string absoluteFolder(const std::string& folder) {
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(folder, error), error);
    if (error) path = fs::absolute(folder, error).lexically_normal();
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// Length of the UTF-8 sequence that starts with byte lead, 0 for a byte no sequence starts with.
size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Range check input: a desktop entry is UTF-8 text of one line.
void checkCarriable(const std::string& path) {
    for (size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const size_t length = utf8Length(byte);
        bool valid = length != 0 && i + length <= path.size() && byte >= 0x20 && byte != 0x7F;
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(path[i + k]) & 0xC0) == 0x80;
        if (!valid) throw ZelmoError(texts::kAutostartUnfitPath + path);
        i += length;
    }
}

// One argument of an Exec key: quoted, with the characters the quoting reserves escaped, then
// percent signs doubled (they would be field codes) and backslashes escaped for the string value.
std::string execArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '%') value += '%';
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// A plain string value: only the backslash needs its escape.
std::string stringValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// FNV-1a, 64 bits: a short, stable file name for a path of any length.
uint64_t pathHash(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// The system's message for the last failed call on path.
ZelmoError fileError(const std::string& path) {
    return ZelmoError(path + ": " + std::strerror(errno));
}

}  // namespace

// $XDG_CONFIG_HOME/autostart, else $HOME/.config/autostart.
std::string autostartDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // XDG ignores a relative XDG_CONFIG_HOME.
    if (config && config[0] == '/') return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/autostart";
    return {};
}

// zelmo-<hash of the absolute folder>.desktop inside directory.
std::string autostartEntryPath(const std::string& directory, const std::string& folder) {
    char name[40];
    std::snprintf(name, sizeof name, "zelmo-%016llx.desktop",
                  static_cast<unsigned long long>(pathHash(absoluteFolder(folder))));
    return directory + "/" + name;
}

// The entry: this program with --dir and the folder, named and iconed as the menu entry.
std::string autostartEntry(const std::string& program, const std::string& folder) {
    const std::string dir = absoluteFolder(folder);
    checkCarriable(program);
    checkCarriable(dir);
    std::string entry = "[Desktop Entry]\nType=Application\nName=Zelmo\n";
    entry += "Comment=Prints the jobs written to " + stringValue(dir) + "\n";
    entry += "Comment[pl]=Drukuje zlecenia zapisane w " + stringValue(dir) + "\n";
    entry += "Icon=zelmo\n";
    entry += "Exec=" + execArgument(program) + " --dir " + execArgument(dir) + "\n";
    entry += "Terminal=false\nX-GNOME-Autostart-enabled=true\n";
    return entry;
}

// The entry's file exists.
bool autostartEnabled(const std::string& directory, const std::string& folder) {
    std::error_code error;
    return !directory.empty() && fs::exists(autostartEntryPath(directory, folder), error);
}

// Writes the entry through a temporary file and a rename, so that a login never finds half an
// entry; or removes it, a missing entry being already what was asked for.
void setAutostart(const std::string& directory, const std::string& program,
                  const std::string& folder, bool enabled) {
    if (directory.empty()) throw ZelmoError(texts::kAutostartNoHome);
    const std::string path = autostartEntryPath(directory, folder);
    if (!enabled) {
        if (std::remove(path.c_str()) != 0 && errno != ENOENT) throw fileError(path);
        return;
    }
    const std::string text = autostartEntry(program, folder);
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) throw ZelmoError(directory + ": " + error.message());
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw fileError(temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const ZelmoError failure = fileError(path);
        std::remove(temporary.c_str());
        throw failure;
    }
}

// The desktop's autostart folder is looked up each time: the environment decides it.
bool XdgLoginStart::enabled() const {
    return autostartEnabled(autostartDirectory(), folder_);
}

void XdgLoginStart::enable(bool on) {
    setAutostart(autostartDirectory(), program_, folder_, on);
}

}  // namespace zelmo
