// Login entries: what a desktop's launcher makes of the Exec line must be exactly the program and
// --dir with the folder, whatever characters the folder's path has.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "shell/autostart.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

// A scratch folder with an autostart folder and a program that records its arguments.
class AutostartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zelmo-autostart-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        autostart = root + "/config/autostart";
        recorder = root + "/record args.sh";
        std::ofstream(recorder) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >"
                                << "\"$(dirname \"$0\")/args\"\n";
        fs::permissions(recorder, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(root); }

    // Runs a shell command quietly; its exit status.
    static int run(const std::string& command) {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The arguments the recorder was started with, one a line.
    std::vector<std::string> recorded() const {
        std::ifstream in(root + "/args");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string root, autostart, recorder;
};

TEST_F(AutostartTest, LaunchersPassTheFolderUnchanged) {
    const bool validator = run("command -v desktop-file-validate") == 0;
    const bool launcher = run("command -v gio") == 0;
    for (const std::string name : {"Kalvister II", "a\"b'c", "$HOME `id` \\x", "100% %f %%u",
                                   "Księgowość ; rm -rf ~", "#(x)|<y>&*?"}) {
        SCOPED_TRACE(name);
        const std::string folder = root + "/" + name;
        fs::create_directories(folder);
        setAutostart(autostart, recorder, folder, true);
        const std::string entry = autostartEntryPath(autostart, folder);
        ASSERT_TRUE(autostartEnabled(autostart, folder));
        if (validator) {
            EXPECT_EQ(run("desktop-file-validate '" + entry + "'"), 0);
        }
        if (!launcher) continue;
        fs::remove(root + "/args");
        ASSERT_EQ(run("env -u DISPLAY gio launch '" + entry + "'"), 0);
        for (int i = 0; i < 100 && recorded().size() < 2; ++i)
            ::usleep(20000);
        EXPECT_EQ(recorded(), (std::vector<std::string>{"--dir", folder}));
    }
    if (!validator || !launcher) GTEST_SKIP() << "desktop-file-validate or gio is not installed";
}

TEST_F(AutostartTest, OneEntryPerFolderRemovedOnRequest) {
    const std::string first = root + "/first", second = root + "/second";
    fs::create_directories(first);
    fs::create_directories(second);
    EXPECT_EQ(autostartEntryPath(autostart, first), autostartEntryPath(autostart, first + "/"));
    EXPECT_EQ(autostartEntryPath(autostart, first),
              autostartEntryPath(autostart, second + "/../first"));
    EXPECT_NE(autostartEntryPath(autostart, first), autostartEntryPath(autostart, second));
    setAutostart(autostart, recorder, first, true);
    setAutostart(autostart, recorder, second, true);
    setAutostart(autostart, recorder, second, true);
    EXPECT_EQ(std::distance(fs::directory_iterator(autostart), fs::directory_iterator()), 2);
    setAutostart(autostart, recorder, first, false);
    setAutostart(autostart, recorder, first, false);
    EXPECT_FALSE(autostartEnabled(autostart, first));
    EXPECT_TRUE(autostartEnabled(autostart, second));
}

TEST_F(AutostartTest, RefusesWhatAnEntryCannotCarryAndReportsWriteFailures) {
    for (const std::string& name :
         std::vector<std::string>{"line\nbreak", "tab\there", "latin2 \xB1\xE6"}) {
        EXPECT_THROW(setAutostart(autostart, recorder, root + "/" + name, true), ZelmoError);
    }
    EXPECT_FALSE(fs::exists(autostart) && !fs::is_empty(autostart));
    std::ofstream(root + "/file") << "not a folder";
    EXPECT_THROW(setAutostart(root + "/file/autostart", recorder, root, true), ZelmoError);
    EXPECT_THROW(setAutostart("", recorder, root, true), ZelmoError);
}

TEST(AutostartDirectory, FollowsTheBaseDirectoryVariables) {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = home ? home : "", savedConfig = config ? config : "";
    ::setenv("HOME", "/home/office", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(autostartDirectory(), "/cfg/autostart");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(autostartDirectory(), "/home/office/.config/autostart");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(autostartDirectory(), "/home/office/.config/autostart");
    ::unsetenv("HOME");
    EXPECT_EQ(autostartDirectory(), "");
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    if (config) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}

}  // namespace
}  // namespace zelmo
