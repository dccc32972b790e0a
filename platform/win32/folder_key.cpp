// The folder's key.
#include "platform/win32/folder_key.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "platform/win32/wide.h"

namespace zelmo::win32 {
namespace {

// The folder as one spelling: full, long names, no trailing separator, in upper case as the
// file system compares names, so "c:\księgowość\" and "C:\KSIĘGOWOŚĆ" are one folder.
std::wstring canonicalFolder(const std::string& folder) {
    const std::wstring given = widen(folder);
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

}  // namespace

// Two seeds name the folder in 128 bits.
std::wstring folderKey(const std::string& folder) {
    const std::wstring canonical = canonicalFolder(folder);
    wchar_t key[40];
    std::swprintf(key, 40, L"%016llx%016llx",
                  static_cast<unsigned long long>(hashOf(canonical, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(hashOf(canonical, 0x84222325cbf29ce4ULL)));
    return key;
}

// The lock and the control channel's client agree on it.
std::wstring folderMutexName(const std::string& folder) {
    return L"Global\\Zelmo-" + folderKey(folder);
}

}  // namespace zelmo::win32
