// The login value's command as Windows reads it back: the program and the folder must come out
// of CommandLineToArgvW exactly as they went in, or Zelmo starts at login on another folder.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/win32/wide.h"
#include "shell/texts.h"
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

// A scratch key standing in for a Run key, deleted with the object. Locked, it lets everyone read
// it and no one change it, as the machine's Run key is to a user who is no administrator.
class ScratchKey {
  public:
    explicit ScratchKey(const wchar_t* name) : path_(std::wstring(kBase) + name) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key_, nullptr);
        HKEY run = nullptr;
        ::RegCreateKeyExW(key_, L"Run", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
        if (run) ::RegCloseKey(run);
    }
    ~ScratchKey() {
        if (key_) ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    HKEY get() const { return key_; }

    // Writes the value as the setup program does.
    void put(const std::wstring& name, const std::wstring& command) const {
        HKEY run = nullptr;
        ::RegOpenKeyExW(key_, L"Run", 0, KEY_SET_VALUE, &run);
        ASSERT_TRUE(run);
        ::RegSetValueExW(run, name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(run);
    }
    // The value's command, or "-" when there is none.
    std::wstring value(const std::wstring& name) const {
        wchar_t text[1024] = L"-";
        DWORD size = sizeof text;
        ::RegGetValueW(key_, L"Run", name.c_str(), RRF_RT_REG_SZ, nullptr, text, &size);
        return text;
    }

    // From now on everyone may read the key (and delete it, to clean up) but not change it.
    void lock() const {
        HKEY run = nullptr;
        ::RegOpenKeyExW(key_, L"Run", 0, WRITE_DAC, &run);
        ASSERT_TRUE(run);
        EXPLICIT_ACCESSW read{};
        ::BuildExplicitAccessWithNameW(&read, const_cast<wchar_t*>(L"EVERYONE"), KEY_READ | DELETE,
                                       SET_ACCESS, NO_INHERITANCE);
        PACL acl = nullptr;
        ::SetEntriesInAclW(1, &read, nullptr, &acl);
        ::SetSecurityInfo(run, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                          nullptr);
        ::LocalFree(acl);
        ::RegCloseKey(run);
    }

  private:
    static constexpr const wchar_t* kBase = L"Software\\ZelmoTests\\";

    std::wstring path_;
    HKEY key_ = nullptr;
};

// The menu item over the entries the setup program made: the user's, every user's, or both
// where the user may not change every user's.
TEST(RunAtLogin, MenuReadsAndRemovesTheSetupProgramsEntry) {
    struct Case {
        const char* name;
        bool user, machine, locked;  // entries before; every user's locked against this user
        bool userAfter, machineAfter, refused;
    };
    const Case cases[] = {
        {"user's", true, false, false, false, false, false},
        {"every user's", false, true, false, false, false, false},
        {"both", true, true, false, false, false, false},
        {"every user's, locked", true, true, true, false, true, true},
    };
    const std::string program = "C:\\Zelmo\\Zelmo.exe";
    const std::wstring name = L"Zelmo C:\\Księgowość";
    const std::wstring command = L"\"C:\\Zelmo\\Zelmo.exe\" --dir \"C:\\Księgowość\"";
    for (const Case& c : cases) {
        const ScratchKey user(L"user");
        const ScratchKey machine(L"machine");
        if (c.user) user.put(name, command);
        if (c.machine) machine.put(name, command);
        if (c.locked) machine.lock();
        zelmo::win32::RegistryLoginStart login(program, "C:\\Księgowość\\",
                                               {user.get(), machine.get(), L"Run"});
        EXPECT_TRUE(login.enabled()) << c.name;
        std::string refusal;
        try {
            login.enable(false);
        } catch (const zelmo::ZelmoError& error) {
            refusal = error.what();
        }
        EXPECT_EQ(refusal.find(zelmo::texts::kAutostartEveryUser) == 0, c.refused)
            << c.name << ": " << refusal;
        EXPECT_EQ(user.value(name) != L"-", c.userAfter) << c.name;
        EXPECT_EQ(machine.value(name) != L"-", c.machineAfter) << c.name;
        EXPECT_EQ(login.enabled(), c.machineAfter) << c.name;
    }
}

// Ticked, the user's entry starts this program on the folder it monitors, its own when given
// none: never on an empty folder.
TEST(RunAtLogin, TickedEntryNamesTheMonitoredFolder) {
    const ScratchKey user(L"user");
    const ScratchKey machine(L"machine");
    zelmo::win32::RegistryLoginStart login("C:\\Zelmo\\Zelmo.exe", "",
                                           {user.get(), machine.get(), L"Run"});
    EXPECT_FALSE(login.enabled());
    login.enable(true);
    EXPECT_TRUE(login.enabled());
    EXPECT_EQ(user.value(L"Zelmo C:\\Zelmo"), L"\"C:\\Zelmo\\Zelmo.exe\" --dir \"C:\\Zelmo\"");
    EXPECT_EQ(machine.value(L"Zelmo C:\\Zelmo"), L"-");
}

}  // namespace
