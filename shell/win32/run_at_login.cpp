// The login values in the Run keys: the user's own needs no rights beyond the user's; the
// machine's, which the setup program writes for every user, is read by all and changed only by
// an administrator.
#include "shell/win32/run_at_login.h"

#include "platform/errors.h"
#include "platform/win32/wide.h"
#include "shell/texts.h"

namespace zelmo::win32 {
namespace {

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

// A Run key, opened with the access asked for, closed with the object.
class RunKey {
  public:
    RunKey(HKEY root, const std::wstring& path, REGSAM access, bool create) {
        error_ = create ? ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr,
                                            &key_, nullptr)
                        : ::RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
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

// Whether the key under root holds the value; a key that is not there holds none.
bool hasValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    const RunKey key(root, path, KEY_QUERY_VALUE, false);
    return key.get() && ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr,
                                           nullptr) == ERROR_SUCCESS;
}

// The error as the user reads it: our sentence, then the system's own words.
ZelmoError registryError(LONG error) {
    return ZelmoError(std::string(texts::kSystemMessage) +
                      systemMessage(static_cast<unsigned long>(error)));
}

// Deletes the value from the key under root; a value or key that is not there is no failure.
LONG deleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    const RunKey key(root, path, KEY_SET_VALUE, false);
    if (!key.get()) return key.error() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : key.error();
    const LONG error = ::RegDeleteValueW(key.get(), name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// The folder of the program's file, with its separator.
std::string programFolder(const std::string& program) {
    const auto slash = program.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

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

RegistryLoginStart::RegistryLoginStart(std::string program, std::string folder, RunKeys keys)
    : program_(std::move(program)),
      folder_(folder.empty() ? programFolder(program_) : std::move(folder)),
      keys_(std::move(keys)) {}

// Either key counts: the menu shows the start the setup program chose as well as its own.
bool RegistryLoginStart::enabled() const {
    const std::wstring name = valueName(folder_);
    return hasValue(keys_.user, keys_.path, name) || hasValue(keys_.machine, keys_.path, name);
}

// The user's value is written or deleted; switching off deletes the machine's too, so that the
// next login really does not start Zelmo.
void RegistryLoginStart::enable(bool on) {
    const std::wstring name = valueName(folder_);
    if (!on) {
        const LONG error = deleteValue(keys_.user, keys_.path, name);
        if (error != ERROR_SUCCESS) throw registryError(error);
        return removeMachineValue();
    }
    const RunKey key(keys_.user, keys_.path, KEY_SET_VALUE, true);
    if (!key.get()) throw registryError(key.error());
    const std::wstring command = runAtLoginCommand(program_, folder_);
    const LONG error = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(command.c_str()),
                                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    if (error != ERROR_SUCCESS) throw registryError(error);
}

// A user without an administrator's rights cannot, and is told who can, not shown a success.
void RegistryLoginStart::removeMachineValue() const {
    const std::wstring name = valueName(folder_);
    if (!hasValue(keys_.machine, keys_.path, name)) return;
    const LONG error = deleteValue(keys_.machine, keys_.path, name);
    if (error == ERROR_ACCESS_DENIED)
        throw ZelmoError(std::string(texts::kAutostartEveryUser) + "\n" + texts::kSystemMessage +
                         systemMessage(static_cast<unsigned long>(error)));
    if (error != ERROR_SUCCESS) throw registryError(error);
}

}  // namespace zelmo::win32
