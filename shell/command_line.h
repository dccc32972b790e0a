// The program's command line: what the user asked for, read without any toolkit, so the window,
// the console and the tests share one reading of it.
#pragma once

#include <cstdint>
#include <string>

namespace zelmo {

struct CommandLine {
    enum class Action {
        Run,      // start the monitor
        Help,     // print the usage, exit 0
        Version,  // print the version, exit 0
        Invalid,  // print the error and the usage, exit 2
        Control,  // send a command to the monitor already running on the folder
    };
    // What a control command asks of the running monitor.
    enum class Command { None, Status, Pause, Resume, PrintAgain, Delete };
    Action action = Action::Run;
    std::string folder;   // --dir: where every file of the monitor lives; empty: the program's
    std::string printer;  // --printer: a printer chosen by name; empty: the configured one
    bool headless = false;
    Command command = Command::None;
    int32_t job = 0;    // the job of PrintAgain and Delete
    std::string error;  // why the command line is Invalid
};

// Reads the arguments after the program name. Options take their value as the next argument
// or after "="; "/dir", "/printer" (value also after ":") and "/?" stand for their long forms,
// as Windows users write them.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The usage text printed by --help and after an invalid command line, ending with a newline.
std::string usageText();
// The line --version prints, ending with a newline.
std::string versionText();

}  // namespace zelmo
