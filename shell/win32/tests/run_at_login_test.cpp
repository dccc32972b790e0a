// The login value's command as Windows reads it back: the program and the folder must come out
// of CommandLineToArgvW exactly as they went in, or Zelmo starts at login on another folder.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "shell/win32/run_at_login.h"

namespace {

using zelmo::win32::narrow;

// The command split as a program started with it would split it.
std::vector<std::string> split(const std::wstring& command) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(command.c_str(), &count);
    std::vector<std::string> out;
    for (int i = 0; args && i < count; ++i)
        out.push_back(narrow(args[i]));
    if (args) ::LocalFree(args);
    return out;
}

TEST(RunAtLogin, CommandGivesBackProgramAndFolder) {
    struct Case {
        const char* folder;
        const char* expected;  // the folder as --dir receives it
    };
    const Case cases[] = {
        {"C:\\Księgowość\\", "C:\\Księgowość"},
        {"C:\\", "C:\\"},  // a root keeps its separator, which must not escape the quote
        {"\\\\serwer\\dział A\\", "\\\\serwer\\dział A"},
        {"D:\\a b\\\\c\\", "D:\\a b\\\\c"},
    };
    const std::string program = "C:\\Program Files\\Zelmo\\Zelmo.exe";
    for (const Case& c : cases) {
        const std::vector<std::string> args =
            split(zelmo::win32::runAtLoginCommand(program, c.folder));
        ASSERT_EQ(args.size(), 3u) << c.folder;
        EXPECT_EQ(args[0], program);
        EXPECT_EQ(args[1], "--dir");
        EXPECT_EQ(args[2], c.expected) << c.folder;
    }
}

}  // namespace
