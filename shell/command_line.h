// The program's command line: what the user asked for, read without any toolkit, so the window,
// the console and the tests share one reading of it.
#pragma once

#include <string>

namespace zelmo {

struct CommandLine {
    enum class Action {
        Run,      // start the monitor
        Help,     // print the usage, exit 0
        Version,  // print the version, exit 0
        Invalid,  // print the error and the usage, exit 2
    };
    Action action = Action::Run;
    std::string folder;   // --dir: where every file of the monitor lives; empty: the program's
    std::string printer;  // --printer: a printer chosen by name; empty: the configured one
    bool headless = false;
    std::string error;  // why the command line is Invalid
};

// Reads the arguments after the program name. Options take their value as the next argument
// or after "=".
CommandLine parseCommandLine(int argc, const char* const* argv);

// The usage text printed by --help and after an invalid command line, ending with a newline.
std::string usageText();
// The line --version prints, ending with a newline.
std::string versionText();

}  // namespace zelmo
