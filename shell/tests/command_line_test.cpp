// The command line as the program reads it.
#include <gtest/gtest.h>

#include <vector>

#include "shell/command_line.h"

namespace zelmo {
namespace {

using Action = CommandLine::Action;

struct Case {
    std::vector<const char*> args;
    Action action;
    const char* folder;
    const char* printer;
    bool headless;
};

TEST(CommandLine, ReadsEachOptionAndRejectsWhatItDoesNotKnow) {
    const Case cases[] = {
        {{}, Action::Run, "", "", false},
        {{"--dir", "/srv/kasa", "--printer", "HP"}, Action::Run, "/srv/kasa", "HP", false},
        {{"--dir=/srv/kasa", "--printer=Biuro 2", "--headless"},
         Action::Run,
         "/srv/kasa",
         "Biuro 2",
         true},
        {{"--headless", "--help"}, Action::Help, "", "", true},
        {{"-h"}, Action::Help, "", "", false},
        {{"--version"}, Action::Version, "", "", false},
        // An error wins over help, so a typo is never mistaken for a request.
        {{"--help", "--verbose"}, Action::Invalid, "", "", false},
        {{"--dir"}, Action::Invalid, "", "", false},
        {{"--dir="}, Action::Invalid, "", "", false},
        {{"--dirx"}, Action::Invalid, "", "", false},
        {{"plik.prn"}, Action::Invalid, "", "", false},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"zelmo"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandLine line = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.action == Action::Invalid, !line.error.empty()) << shown;
        if (c.action == Action::Invalid) continue;
        EXPECT_EQ(line.folder, c.folder) << shown;
        EXPECT_EQ(line.printer, c.printer) << shown;
        EXPECT_EQ(line.headless, c.headless) << shown;
    }
}

using Command = CommandLine::Command;

struct ControlCase {
    std::vector<const char*> args;
    Action action;
    Command command;
    int32_t job;
    const char* folder;
};

TEST(CommandLine, ControlCommandsTakeOneCommandAndAPositiveJobNumber) {
    const ControlCase cases[] = {
        {{"--status"}, Action::Control, Command::Status, 0, ""},
        {{"/dir", "C:\\Kasa", "--pause"}, Action::Control, Command::Pause, 0, "C:\\Kasa"},
        {{"/dir:C:\\Kasa", "--resume"}, Action::Control, Command::Resume, 0, "C:\\Kasa"},
        {{"--print-again", "12"}, Action::Control, Command::PrintAgain, 12, ""},
        {{"--delete=2147483647", "--dir", "/dir"},
         Action::Control,
         Command::Delete,
         2147483647,
         "/dir"},
        {{"/?"}, Action::Help, Command::None, 0, ""},
        {{"/printer", "Biuro"}, Action::Run, Command::None, 0, ""},
        {{"--status", "--pause"}, Action::Invalid, Command::None, 0, ""},
        {{"--delete", "3", "--delete", "3"}, Action::Invalid, Command::None, 0, ""},
        {{"--delete"}, Action::Invalid, Command::None, 0, ""},
        {{"--delete", "0"}, Action::Invalid, Command::None, 0, ""},
        {{"--delete", "-1"}, Action::Invalid, Command::None, 0, ""},
        {{"--delete", "+1"}, Action::Invalid, Command::None, 0, ""},
        {{"--print-again", "7x"}, Action::Invalid, Command::None, 0, ""},
        {{"--print-again", "2147483648"}, Action::Invalid, Command::None, 0, ""},
        {{"/status"}, Action::Invalid, Command::None, 0, ""},
        {{"/dirx"}, Action::Invalid, Command::None, 0, ""},
    };
    for (const ControlCase& c : cases) {
        std::vector<const char*> argv{"zelmo"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandLine line = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(line.action, c.action) << shown << " " << line.error;
        if (c.action != Action::Control) continue;
        EXPECT_EQ(line.command, c.command) << shown;
        EXPECT_EQ(line.job, c.job) << shown;
        EXPECT_EQ(line.folder, c.folder) << shown;
    }
}

}  // namespace
}  // namespace zelmo
