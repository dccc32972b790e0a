// The login values in the user's own Run key: no rights beyond the user's are needed.
#include "shell/win32/run_at_login.h"

#include <windows.h>

#include "platform/errors.h"
#include "platform/win32/wide.h"

namespace zelmo::win32 {
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The folder without its trailing separator, unless it is a drive's root ("C:\").
std::wstring plainFolder(const std::string& folder) {
    std::wstring wide = widen(folder);
    while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/'))
        wide.pop_back();
    return wide;
}

// The value's name tells the folder, so each folder has its own and the user can tell them
// apart in the registry.
std::wstring valueName(const std::string& folder) {
    return L"Zelmo " + plainFolder(folder);
}

// The Run key, opened for reading and writing, closed with the object.
class RunKey {
  public:
    RunKey() {
        error_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        if (error_ != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RunKey() {
        if (key_) ::RegCloseKey(key_);
    }
    RunKey(const RunKey&) = delete;
    RunKey& operator=(const RunKey&) = delete;
    HKEY get() const { return key_; }
    LONG error() const { return error_; }

  private:
    HKEY key_ = nullptr;
    LONG error_ = ERROR_SUCCESS;
};

}  // namespace

// Backslashes count only before a quote (and before the closing quote): there they are doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The program and --dir FOLDER, each quoted on its own.
std::wstring runAtLoginCommand(const std::string& program, const std::string& folder) {
    return quotedArgument(widen(program)) + L" --dir " + quotedArgument(plainFolder(folder));
}

// Whether the Run key holds the folder's value, whatever command it holds.
bool runAtLoginEnabled(const std::string& folder) {
    const RunKey key;
    return key.get() && ::RegQueryValueExW(key.get(), valueName(folder).c_str(), nullptr, nullptr,
                                           nullptr, nullptr) == ERROR_SUCCESS;
}

// Writes the value with this program's command, or deletes it (deleting none is no failure).
void setRunAtLogin(const std::string& program, const std::string& folder, bool enabled) {
    const RunKey key;
    LONG error = key.error();
    if (key.get() && enabled) {
        const std::wstring command = runAtLoginCommand(program, folder);
        error = ::RegSetValueExW(key.get(), valueName(folder).c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    } else if (key.get()) {
        error = ::RegDeleteValueW(key.get(), valueName(folder).c_str());
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) throw ZelmoError(systemMessage(static_cast<unsigned long>(error)));
}

}  // namespace zelmo::win32
