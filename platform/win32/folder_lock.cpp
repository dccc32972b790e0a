// The folder lock as a named mutex: a kernel object that goes with the last process holding it,
// so a crashed Zelmo leaves nothing behind, and no file appears in the monitored folder.
#include "platform/folder_lock.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/win32/wide.h"

namespace zelmo {
namespace {

// The folder as one spelling: full, long names, no trailing separator, in upper case as the
// file system compares names, so "c:\księgowość\" and "C:\KSIĘGOWOŚĆ" are one folder.
std::wstring canonicalFolder(const std::string& folder) {
    const std::wstring given = win32::widen(folder);
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                           full.data(), nullptr);
        if (n == 0) {
            full = given;
            break;
        }
        const bool fits = n < full.size();
        full.resize(n + (fits ? 0 : 1));
        if (fits) break;
    }
    std::wstring longer(full.size() + MAX_PATH, L'\0');
    const DWORD n =
        ::GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n > 0 && n < longer.size()) full.assign(longer.data(), n);
    while (full.size() > 1 && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();
    if (!full.empty()) ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

// FNV-1a over the UTF-16 units from a seed: two seeds name the folder in 128 bits.
uint64_t hashOf(const std::wstring& text, uint64_t seed) {
    uint64_t hash = seed;
    for (const wchar_t unit : text) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The mutex's name: the folder's hash, since a path can outgrow a name and holds backslashes,
// which a name may not. Global: two users of one terminal server share the folder's lock.
std::wstring mutexName(const std::string& folder) {
    const std::wstring canonical = canonicalFolder(folder);
    wchar_t name[64];
    std::swprintf(name, 64, L"Global\\Zelmo-%016llx%016llx",
                  static_cast<unsigned long long>(hashOf(canonical, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(hashOf(canonical, 0x84222325cbf29ce4ULL)));
    return name;
}

}  // namespace

// Makes the folder's mutex; it existed already when another Zelmo holds the folder. Another
// user's mutex cannot be opened (access denied), which says the same. A lock that cannot be made
// for any other reason does not keep the user from printing.
FolderLock::FolderLock(const std::string& folder) {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName(folder).c_str());
    const DWORD error = ::GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return;
    }
    if (!mutex) {
        held_ = error != ERROR_ACCESS_DENIED;
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
    held_ = true;
}

// The mutex goes with its last handle.
FolderLock::~FolderLock() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace zelmo
