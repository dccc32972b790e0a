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

}  // namespace
}  // namespace zelmo
