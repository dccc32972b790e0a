// The program's command line.
#include "shell/command_line.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "shell/texts.h"

namespace zelmo {
namespace {

// The value of option name in arg (argv[i]), as "--name=VALUE" or "--name VALUE" (then i moves
// past it). False when arg is not that option; an absent value is reported in line.error.
bool optionValue(const char* name, const std::string& arg, int argc, const char* const* argv,
                 int& i, std::string& value, CommandLine& line) {
    const std::size_t length = std::strlen(name);
    if (arg.compare(0, length, name) != 0) return false;
    if (arg.size() > length && arg[length] == '=') {
        value = arg.substr(length + 1);
    } else if (arg.size() != length) {
        return false;
    } else if (i + 1 < argc) {
        value = argv[++i];
    } else {
        value.clear();
    }
    if (value.empty()) line.error = std::string(texts::kOptionNeedsValue) + name;
    return true;
}

// The long option a Windows-style one stands for ("/dir:C:\x" is "--dir=C:\\x"); any other
// argument as it is.
std::string longForm(const std::string& arg) {
    if (arg == "/?") return "--help";
    for (const char* name : {"dir", "printer"}) {
        const std::string slash = std::string("/") + name;
        if (arg == slash) return std::string("--") + name;
        if (arg.size() > slash.size() && arg.compare(0, slash.size(), slash) == 0 &&
            (arg[slash.size()] == ':' || arg[slash.size()] == '='))
            return std::string("--") + name + "=" + arg.substr(slash.size() + 1);
    }
    return arg;
}

// A job number: decimal digits only, 1 and up; 0 when text is not one.
int32_t jobNumber(const std::string& text) {
    int32_t number = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        text[0] < '0' || text[0] > '9')
        return 0;
    return number;
}

// Takes a control command, or says why it cannot be one: a second command, a bad number.
void takeCommand(CommandLine::Command command, const std::string& job, CommandLine& line) {
    if (line.command != CommandLine::Command::None) {
        line.error = texts::kTwoCommands;
        return;
    }
    line.command = command;
    const bool numbered =
        command == CommandLine::Command::PrintAgain || command == CommandLine::Command::Delete;
    if (numbered && line.error.empty() && (line.job = jobNumber(job)) == 0)
        line.error = texts::kBadJobNumber + job;
}

// A control command at argv[i], with its job number if it takes one; false when arg is none.
bool controlCommand(const std::string& arg, int argc, const char* const* argv, int& i,
                    CommandLine& line) {
    using Command = CommandLine::Command;
    const std::pair<const char*, Command> plain[] = {
        {"--status", Command::Status}, {"--pause", Command::Pause}, {"--resume", Command::Resume}};
    for (const auto& [name, command] : plain) {
        if (arg != name) continue;
        takeCommand(command, {}, line);
        return true;
    }
    std::string job;
    if (optionValue("--print-again", arg, argc, argv, i, job, line)) {
        takeCommand(Command::PrintAgain, job, line);
        return true;
    }
    if (optionValue("--delete", arg, argc, argv, i, job, line)) {
        takeCommand(Command::Delete, job, line);
        return true;
    }
    return false;
}

}  // namespace

// Reads every argument; the first error makes the line Invalid, help and version win otherwise.
CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string arg = longForm(argv[i]);
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (optionValue("--dir", arg, argc, argv, i, line.folder, line) ||
                   optionValue("--printer", arg, argc, argv, i, line.printer, line) ||
                   controlCommand(arg, argc, argv, i, line)) {
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
    else if (line.command != CommandLine::Command::None)
        line.action = CommandLine::Action::Control;
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
