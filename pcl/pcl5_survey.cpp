// Telling a PCL 5 job from the accounting program's: the program sends only its own commands
// (soft-font downloads, raster methods 0 and 1, dot positions, motion indexes, copies, and a
// page set-up), so a job header, or a command that shapes text or graphics beyond them, marks
// another program's; page layout alone does where the job has no fonts or raster of its kind.
#include <cstring>

#include "pcl/bare_text.h"
#include "pcl/pcl5.h"

namespace zelmo {
namespace {

// One parameter of a sequence as the survey needs it.
struct Parameter {
    int64_t value = 0;
    uint8_t letter = 0;  // upper case
};

// Whether a parameter marks a PCL 5 job: it changes how text or graphics look (fonts by their
// characteristics, line spacing, margins, underline, rules and patterns, compressed or framed
// raster). Commands that only move the cursor, turn the page, name a symbol set, carry data or
// are unknown do not decide on their own (the accounting program's jobs are read as if it could
// send them); once a job is PCL 5 they are all carried out.
bool marksPcl5(uint8_t parameterized, uint8_t group, const Parameter& p) {
    const uint8_t l = p.letter;
    auto among = [l](const char* letters) { return l != 0 && std::strchr(letters, l) != nullptr; };
    const bool font = parameterized == '(' || parameterized == ')';
    if (parameterized == '*' && group == 'b') return (l == 'M' && p.value >= 2) || l == 'Y';
    if (parameterized == '*' && group == 'r') return among("ABCFST");
    if (parameterized == '*' && group == 'c') return among("ABHVGPQ");
    if (parameterized == '*' && group == 'v') return among("NOT");
    if (font && group == 's') return among("PHVSBT");
    if (font && group == 0) return l == 'X';
    if (parameterized == '&' && group == 'l') return among("DFL");
    if (parameterized == '&' && group == 'k') return among("GS");
    if (parameterized == '&') return group == 'f' || group == 'd' || group == 's' || group == 'u';
    return false;
}

// Whether a parameter lays out the page as a PCL 5 printer's job does, though the accounting
// program's jobs may carry it too (its page set-up: orientation and top margin; the rest its
// interpreter skips): cursor moves and margins in rows, columns and decipoints, symbol sets,
// transparent data.
bool hintsPcl5(uint8_t parameterized, uint8_t group, const Parameter& p) {
    const uint8_t l = p.letter;
    if (parameterized == '&' && group == 'a') return l != 0;
    if (parameterized == '&' && group == 'l') return l == 'O' || l == 'E';
    if (parameterized == '&' && group == 'p') return l == 'X';
    const bool font = parameterized == '(' || parameterized == ')';
    return font && group == 0 && l >= 'A' && l <= 'Z' && l != 'X' && l != 'W';
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
        if (marksPcl5(parameterized, group, p)) out.pcl5 = true;
        if (hintsPcl5(parameterized, group, p)) out.pcl5Hint = true;
        if ((parameterized == '*' && group == 't' && p.letter == 'R') ||
            (parameterized == '*' && group == 'b' && p.letter == 'W'))
            out.rasterRows = true;
        if (parameterized == ')' && group == 's' && p.letter == 'W') out.softFonts = true;
        if ((parameterized == '(' || parameterized == ')') && group == 0 && p.letter == 'X')
            out.fontById = true;
        if (parameterized == '*' && group == 't' && p.letter == 'R' && p.value >= 600)
            out.pageDpi = 600;
        // A data block follows its letter: skip it, it holds no commands.
        if (p.letter == 'W' || (parameterized == '&' && group == 'p' && p.letter == 'X') ||
            (parameterized == '*' && group == 'b' && p.letter == 'V'))
            break;
    }
}

}  // namespace

Pcl5Survey surveyJob(const uint8_t* data, std::size_t size) {
    Pcl5Survey out;
    if (!data) return out;
    if (size >= 4 && std::memcmp(data, "@PJL", 4) == 0) out.pcl5 = true;
    // One walk both judges the job and looks at its sequences.
    out.content = walkJob(
        data, size,
        [](const uint8_t* at, std::size_t length, void* survey) {
            surveySequence(at, length, *static_cast<Pcl5Survey*>(survey));
        },
        &out);
    return out;
}

}  // namespace zelmo
