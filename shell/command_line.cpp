// The program's command line.
#include "shell/command_line.h"

#include <cstring>

#include "shell/texts.h"

namespace zelmo {
namespace {

// The value of option name at argv[i], as "--name=VALUE" or "--name VALUE" (then i moves past
// it). False when argv[i] is not that option; an absent value is reported in line.error.
bool optionValue(const char* name, int argc, const char* const* argv, int& i, std::string& value,
                 CommandLine& line) {
    const std::size_t length = std::strlen(name);
    const char* arg = argv[i];
    if (std::strncmp(arg, name, length) != 0) return false;
    if (arg[length] == '=') {
        value = arg + length + 1;
    } else if (arg[length] != '\0') {
        return false;
    } else if (i + 1 < argc) {
        value = argv[++i];
    } else {
        value.clear();
    }
    if (value.empty()) line.error = std::string(texts::kOptionNeedsValue) + name;
    return true;
}

}  // namespace

// Reads every argument; the first error makes the line Invalid, help and version win otherwise.
CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (optionValue("--dir", argc, argv, i, line.folder, line) ||
                   optionValue("--printer", argc, argv, i, line.printer, line)) {
            continue;
        } else {
            line.error = std::string(texts::kUnknownOption) + arg;
        }
    }
    if (!line.error.empty())
        line.action = CommandLine::Action::Invalid;
    else if (help)
        line.action = CommandLine::Action::Help;
    else if (version)
        line.action = CommandLine::Action::Version;
    return line;
}

// The usage, in the language of the rest of the program.
std::string usageText() {
    return texts::kUsage;
}

// Program name and version.
std::string versionText() {
    return std::string("zelmo ") + texts::kVersion + "\n";
}

}  // namespace zelmo
