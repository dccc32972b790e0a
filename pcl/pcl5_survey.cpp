// Telling a PCL 5 job from the accounting program's: the program sends only its own commands
// (soft-font downloads, raster methods 0 and 1, dot positions, motion indexes, copies), so any
// other command, or a job header, marks a job of another program.
#include <cstring>

#include "pcl/bare_text.h"
#include "pcl/pcl5.h"

namespace zelmo {
namespace {

constexpr uint8_t kEsc = 0x1B;

// One parameter of a sequence as the survey needs it.
struct Parameter {
    int64_t value = 0;
    uint8_t letter = 0;  // upper case
};

// Whether a parameter of the accounting program's command set is in use here.
bool inDialect(uint8_t parameterized, uint8_t group, const Parameter& p) {
    const uint8_t l = p.letter;
    if (parameterized == '*' && group == 'b') return l == 'W' || (l == 'M' && p.value <= 1);
    if (parameterized == '*' && group == 't') return l == 'R';
    if (parameterized == '*' && group == 'c') return l == 'E';
    if (parameterized == '*' && group == 'p') return l == 'X' || l == 'Y';
    if (parameterized == '&' && group == 'l') return l == 'C' || l == 'X';
    if (parameterized == '&' && group == 'k') return l == 'H';
    if ((parameterized == '(' || parameterized == ')') && group == 's') return l == 'W';
    return false;
}

// Reads the parameter at pos (value and letter); false when the sequence breaks off.
bool readParameter(const uint8_t* at, std::size_t end, std::size_t& pos, Parameter& p) {
    bool negative = false;
    if (pos < end && (at[pos] == '+' || at[pos] == '-')) negative = at[pos++] == '-';
    int64_t value = 0;
    while (pos < end && at[pos] >= '0' && at[pos] <= '9') {
        if (value < (int64_t{1} << 40)) value = value * 10 + (at[pos] - '0');
        ++pos;
    }
    if (pos < end && at[pos] == '.') {
        ++pos;
        while (pos < end && at[pos] >= '0' && at[pos] <= '9')
            ++pos;
    }
    if (pos >= end) return false;
    p.value = negative ? -value : value;
    p.letter = static_cast<uint8_t>(at[pos] >= 'a' && at[pos] <= 'z' ? at[pos] - 32 : at[pos]);
    ++pos;
    return true;
}

// Looks at one well-formed sequence of length bytes at at[0] (an ESC).
void surveySequence(const uint8_t* at, std::size_t length, Pcl5Survey& out) {
    const uint8_t parameterized = at[1];
    // Two-character escapes (reset, margins cleared) are sent by either kind.
    if (length <= 2 || parameterized < 33 || parameterized > 47) return;
    if (parameterized == '%') {  // the universal exit, or HP-GL/2
        out.pcl5 = true;
        return;
    }
    std::size_t pos = 2;
    const uint8_t group = at[pos] >= 96 && at[pos] <= 126 ? at[pos++] : 0;
    Parameter p;
    while (pos < length && readParameter(at, length, pos, p)) {
        if (!inDialect(parameterized, group, p)) out.pcl5 = true;
        if (parameterized == ')' && group == 's' && p.letter == 'W') out.softFonts = true;
        if (parameterized == '*' && group == 't' && p.letter == 'R' && p.value >= 600)
            out.pageDpi = 600;
        // A data block follows its letter: skip it, it holds no commands.
        if (p.letter == 'W' || (parameterized == '&' && group == 'p' && p.letter == 'X')) break;
    }
}

}  // namespace

Pcl5Survey surveyJob(const uint8_t* data, std::size_t size) {
    Pcl5Survey out;
    if (!data) return out;
    if (size >= 4 && std::memcmp(data, "@PJL", 4) == 0) out.pcl5 = true;
    for (std::size_t i = 0; i < size;) {
        const void* esc = std::memchr(data + i, kEsc, size - i);
        if (!esc) break;
        i = static_cast<std::size_t>(static_cast<const uint8_t*>(esc) - data);
        const EscapeSpan span = escapeSpan(data + i, size - i);
        if (span.wellFormed) surveySequence(data + i, span.length, out);
        i += span.length;
    }
    return out;
}

}  // namespace zelmo
