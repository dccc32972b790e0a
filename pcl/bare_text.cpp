// Escape sequences by PCL's grammar, and the judgement of a job that would print as bare text.
#include "pcl/bare_text.h"

#include <cstring>

namespace zelmo {
namespace {

constexpr uint8_t kEsc = 0x1B;
// A data block is skipped by its count, clamped to the job; no count needs more digits.
constexpr int64_t kMaxCount = int64_t{1} << 40;
// NUL bytes in a row that no text printer job holds, while binary files are full of them.
constexpr std::size_t kNulRun = 4;

bool inRange(uint8_t b, uint8_t low, uint8_t high) {
    return b >= low && b <= high;
}

// The value field from pos: an optional sign, digits, a decimal point, digits. Returns its
// integer part (0 when negative or empty), pos moved past it.
int64_t scanValue(const uint8_t* at, std::size_t available, std::size_t& pos) {
    bool negative = false;
    if (pos < available && (at[pos] == '+' || at[pos] == '-')) negative = at[pos++] == '-';
    int64_t value = 0;
    while (pos < available && inRange(at[pos], '0', '9')) {
        if (value < kMaxCount) value = value * 10 + (at[pos] - '0');
        ++pos;
    }
    if (pos < available && at[pos] == '.') {
        ++pos;
        while (pos < available && inRange(at[pos], '0', '9'))
            ++pos;
    }
    return negative ? 0 : value;
}

// Whether the parameter ends a command that carries a data block of value bytes.
bool carriesData(uint8_t parameterized, uint8_t group, uint8_t parameter) {
    const uint8_t upper = parameter & ~0x20;
    return upper == 'W' || (parameterized == '&' && group == 'p' && upper == 'X') ||
           (parameterized == '*' && group == 'b' && upper == 'V');
}

}  // namespace

// Two-character escapes take their one byte; parameterised ones run parameter after parameter
// (lower case continues the group) to their upper-case terminator, each data block skipped.
EscapeSpan escapeSpan(const uint8_t* at, std::size_t available) {
    if (available < 2) return {available, false};
    const uint8_t parameterized = at[1];
    if (inRange(parameterized, 48, 126)) return {2, true};
    if (!inRange(parameterized, 33, 47)) return {1, false};
    std::size_t pos = 2;
    uint8_t group = 0;
    if (pos < available && inRange(at[pos], 96, 126)) group = at[pos++];
    for (;;) {
        const int64_t value = scanValue(at, available, pos);
        // Cut off by the job's end: nothing printable follows, so the rest goes with it.
        if (pos >= available) return {available, false};
        const uint8_t parameter = at[pos];
        const bool terminates = inRange(parameter, 64, 94);
        if (!terminates && !inRange(parameter, 96, 126)) return {1, false};
        ++pos;
        if (carriesData(parameterized, group, parameter)) {
            const std::size_t left = available - pos;
            pos += static_cast<uint64_t>(value) < left ? static_cast<std::size_t>(value) : left;
        }
        if (terminates || pos >= available) return {pos, true};
    }
}

namespace {

struct Description {
    const char* polish;
    const char* english;
};

// Indexed by JobContent.
constexpr Description kDescriptions[] = {
    {"tekst", "text"},
    {"plik PDF", "a PDF file, not a PCL print job"},
    {"plik PostScript", "a PostScript file, not a PCL print job"},
    {"archiwum gzip", "a gzip archive, not a PCL print job"},
    {"archiwum ZIP", "a ZIP archive, not a PCL print job"},
    {"obraz PNG", "a PNG image, not a PCL print job"},
    {"obraz JPEG", "a JPEG image, not a PCL print job"},
    {"program Windows", "a Windows program, not a PCL print job"},
    {"program ELF (Linux)", "an ELF program, not a PCL print job"},
    {"dane binarne", "binary data, not a PCL print job"},
};

ContentVerdict verdict(JobContent content) {
    const Description& d = kDescriptions[static_cast<int>(content)];
    return {content, d.polish, d.english};
}

bool startsWith(const uint8_t* data, std::size_t size, const char* prefix, std::size_t length) {
    return size >= length && std::memcmp(data, prefix, length) == 0;
}

// Past a leading job header a driver may put before any language: the universal exit, the
// PJL lines, a PostScript end-of-job byte.
std::size_t afterJobHeader(const uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    if (startsWith(data, size, "\x1B%-12345X", 9)) pos = 9;
    while (startsWith(data + pos, size - pos, "@PJL", 4)) {
        const void* end = std::memchr(data + pos, '\n', size - pos);
        pos = end ? static_cast<std::size_t>(static_cast<const uint8_t*>(end) - data) + 1 : size;
    }
    if (pos < size && data[pos] == 0x04) ++pos;
    return pos;
}

// A Windows program: "MZ", then at the offset its header holds, "PE\0\0".
bool isWindowsProgram(const uint8_t* data, std::size_t size) {
    if (!startsWith(data, size, "MZ", 2) || size < 0x40) return false;
    const std::size_t at = std::size_t{data[0x3C]} | std::size_t{data[0x3D]} << 8 |
                           std::size_t{data[0x3E]} << 16 | std::size_t{data[0x3F]} << 24;
    return at <= size - 4 && std::memcmp(data + at, "PE\0\0", 4) == 0;
}

// The kind a signature at the job's start names; Text when there is none.
JobContent signature(const uint8_t* data, std::size_t size) {
    const std::size_t pos = afterJobHeader(data, size);
    const uint8_t* at = data + pos;
    const std::size_t n = size - pos;
    if (startsWith(at, n, "%PDF-", 5)) return JobContent::Pdf;
    if (startsWith(at, n, "%!", 2) || startsWith(at, n, "\xC5\xD0\xD3\xC6", 4))
        return JobContent::PostScript;
    if (startsWith(data, size, "\x1F\x8B", 2)) return JobContent::Gzip;
    if (startsWith(data, size, "PK\x03\x04", 4) || startsWith(data, size, "PK\x05\x06", 4))
        return JobContent::Zip;
    if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return JobContent::Png;
    if (startsWith(data, size, "\xFF\xD8\xFF", 3)) return JobContent::Jpeg;
    if (isWindowsProgram(data, size)) return JobContent::WindowsProgram;
    if (startsWith(data, size,
                   "\x7F"
                   "ELF",
                   4))
        return JobContent::LinuxProgram;
    return JobContent::Text;
}

// A byte a text printer prints or obeys outside escape sequences: the printable ones (the code
// page's upper half included), CR, LF, FF, TAB, BS, and PCL's shift out and in.
bool textByte(uint8_t b) {
    return (b >= 0x20 && b != 0x7F) || b == '\r' || b == '\n' || b == 0x0C || b == '\t' ||
           b == 0x08 || b == 0x0E || b == 0x0F;
}

}  // namespace

ContentVerdict walkJob(const uint8_t* data, std::size_t size, SequenceVisit visit, void* context) {
    if (!data) return verdict(JobContent::Text);
    std::size_t stray = 0, nulRun = 0;
    bool nulRunSeen = false;
    for (std::size_t i = 0; i < size;) {
        const uint8_t b = data[i];
        if (b == kEsc) {
            const EscapeSpan span = escapeSpan(data + i, size - i);
            if (span.wellFormed && visit) visit(data + i, span.length, context);
            stray += span.wellFormed ? 0 : 1;
            i += span.length;
            nulRun = 0;
        } else {
            nulRun = b == 0 ? nulRun + 1 : 0;
            nulRunSeen = nulRunSeen || nulRun >= kNulRun;
            stray += textByte(b) ? 0 : 1;
            ++i;
        }
    }
    const JobContent known = signature(data, size);
    if (known != JobContent::Text) return verdict(known);
    // One byte in a hundred may be stray (a DOS end-of-file mark, a lone NUL), and two more.
    const bool binary = nulRunSeen || stray > size / 100 + 2;
    return verdict(binary ? JobContent::Binary : JobContent::Text);
}

ContentVerdict judgeContent(const uint8_t* data, std::size_t size) {
    return walkJob(data, size, nullptr, nullptr);
}

}  // namespace zelmo
