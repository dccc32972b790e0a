// UTF-8 inside the program, UTF-16 at every Win32 call: the two conversions, and the system's
// error texts.
#pragma once

#include <string>

namespace zelmo::win32 {

// A UTF-8 text as UTF-16 for the wide Win32 functions; invalid bytes become U+FFFD.
std::wstring widen(const std::string& text);
// A UTF-16 text from Win32 as UTF-8.
std::string narrow(const std::wstring& text);
std::string narrow(const wchar_t* text);
// The system's text for an error code (GetLastError), without its line end; empty when there is
// none.
std::string systemMessage(unsigned long error);

}  // namespace zelmo::win32
