// The Windows file and profile-string layer on the real system calls, in a folder whose name
// needs UTF-16: exclusive open, rename without replacing, delete, and Zelmo.ini kept whole.
#include <gtest/gtest.h>
#include <windows.h>

#include "pipeline_fixture.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/win32/wide.h"

namespace zelmo::pipeline_test {
namespace {

// A "Księgowość" folder inside a temporary folder, as an accounting program's own.
struct UnicodeFolder {
    TempDir dir;
    std::string path = dir.path() + "Księgowość/";
    UnicodeFolder() { ::CreateDirectoryW(win32::widen(path).c_str(), nullptr); }
};

// Writes text into path through the wide API, so the name is not bent by a code page.
void writeText(const std::string& path, const std::string& text) {
    HANDLE h = ::CreateFileW(win32::widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(h);
}

std::string readText(const std::string& path) {
    files::JobBytes bytes;
    if (!files::readWholeFile(path, bytes)) return "<unreadable>";
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(Win32Files, ExclusiveOpenFailsWhileAnyoneHasTheFileOpen) {
    UnicodeFolder folder;
    const std::string job = folder.path + "Wydruk.prn";
    EXPECT_FALSE(files::openExclusive(job).isOpen()) << "missing file";
    EXPECT_FALSE(files::openExclusive(folder.path).isOpen()) << "a folder is no job";
    writeText(job, "abc");
    for (DWORD access : {DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ}}) {
        HANDLE other =
            ::CreateFileW(win32::widen(job).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(files::openExclusive(job).isOpen()) << "held with access " << access;
        ::CloseHandle(other);
    }
    files::File file = files::openExclusive(job);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.seekLength(), 3);
    // While we hold it, the writer cannot start the next job over it.
    EXPECT_EQ(::CreateFileW(win32::widen(job).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST(Win32Files, RenameNeverReplacesAndDeleteRemoves) {
    UnicodeFolder folder;
    const std::string from = folder.path + "Wydruk.prn", to = folder.path + "Zelmo1.Prn";
    writeText(from, "new");
    writeText(to, "old");
    EXPECT_EQ(files::renameNoReplace(from, to), files::RenameResult::TargetExists);
    EXPECT_EQ(readText(to), "old");
    EXPECT_TRUE(files::deleteFile(to));
    EXPECT_FALSE(files::exists(to));
    EXPECT_EQ(files::renameNoReplace(from, to), files::RenameResult::Renamed);
    EXPECT_EQ(readText(to), "new");
    EXPECT_FALSE(files::exists(from));
    EXPECT_EQ(files::renameNoReplace(from, to), files::RenameResult::Failed);
    EXPECT_FALSE(files::deleteFile(from));
}

TEST(Win32Settings, WriteKeepsOtherSectionsKeysAndComments) {
    UnicodeFolder folder;
    const std::string ini = folder.path + "Zelmo.ini";
    EXPECT_EQ(readProfileString(ini, "User", "UserX", "0"), "0") << "no file yet";
    writeText(ini,
              "; kept\r\n[Other]\r\nA=1\r\n[User]\r\nUserX=5\r\nMine=x\r\nC=\"a ; b\" \r\n"
              "[Text]\r\nCodePage=Mazovia ; comment\r\n");
    EXPECT_EQ(readProfileString(ini, "user", "userx", "0"), "5") << "names ignore case";
    EXPECT_EQ(readProfileString(ini, "Text", "CodePage", ""), "Mazovia") << "a comment after it";
    EXPECT_EQ(readProfileString(ini, "User", "C", ""), "a") << "quotes go first, as on Linux";
    EXPECT_EQ(readProfileString(ini, "User", "None", "d ; e"), "d ; e") << "the fallback as given";
    writeProfileString(ini, "User", "UserX", "-120");
    writeProfileString(ini, "User", "UserSM", "1");
    EXPECT_EQ(readProfileString(ini, "User", "UserX", "0"), "-120");
    EXPECT_EQ(readProfileString(ini, "User", "UserSM", "0"), "1");
    const std::string text = readText(ini);
    for (const char* kept : {"; kept", "[Other]", "A=1", "Mine=x"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    EXPECT_EQ(text.find("UserX=5"), std::string::npos);
}

}  // namespace
}  // namespace zelmo::pipeline_test
