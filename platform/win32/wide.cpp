// Text conversions with the system's own converter, so that both builds agree on every byte.
#include "platform/win32/wide.h"

#include <windows.h>

#include <cwchar>

namespace zelmo::win32 {

// Converts UTF-8 to UTF-16.
std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

// Converts UTF-16 to UTF-8.
std::string narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

// Converts a terminated UTF-16 string to UTF-8.
std::string narrow(const wchar_t* text) {
    return text ? narrow(std::wstring(text, std::wcslen(text))) : std::string();
}

}  // namespace zelmo::win32
