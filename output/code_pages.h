// The character sets a job's text may be in, and their mapping to Unicode.
#pragma once

#include <cstdint>
#include <string>

namespace zelmo {

// Each maps 0x21..0x7E to ASCII; they differ above.
enum class CodePage : int32_t {
    Cp852 = 0,        // DOS Latin 2, the Polish DOS standard
    Mazovia = 1,      // the older Polish DOS set, CP437 with Polish letters
    Windows1250 = 2,  // Windows Central European
    Iso8859_2 = 3,    // ISO Latin 2
    Cp437 = 4,        // DOS United States
};

// The set assumed when the settings name none: what Polish accounting programs printing to a
// file sent, the code page of Polish MS-DOS.
constexpr CodePage kDefaultCodePage = CodePage::Cp852;

// The Unicode code point of a byte, or 0 when the set has no character there (controls, DEL,
// the holes of Windows-1250).
char32_t toUnicode(CodePage page, uint8_t code);

// The name the settings file uses ("CP852", "Mazovia", "Windows-1250", "ISO-8859-2",
// "CP437"), and back; parsing ignores case and takes a few common spellings.
const char* codePageName(CodePage page);
bool parseCodePage(const std::string& name, CodePage& page);

// A PrintRequest's stored value as a code page; anything unknown is the default.
CodePage codePageFromValue(int32_t value);

}  // namespace zelmo
