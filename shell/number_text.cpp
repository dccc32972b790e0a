// Numbers formatted by hand: printf and iostreams follow the process locale, and under
// pl_PL.UTF-8 they write a comma where a dot was looked for.
#include "shell/number_text.h"

namespace zelmo {
namespace {

// Digits of value, thousands apart by a space, as a Polish office writes them.
std::string groupedDigits(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, " ");
    return digits;
}

}  // namespace

std::string tenthsText(int64_t tenths, char separator) {
    // The magnitude computed unsigned, so that the most negative value has one too.
    const uint64_t magnitude =
        tenths < 0 ? 0 - static_cast<uint64_t>(tenths) : static_cast<uint64_t>(tenths);
    return (tenths < 0 ? "-" : "") + groupedDigits(magnitude / 10) + separator +
           static_cast<char>('0' + magnitude % 10);
}

std::string sizeText(uint64_t bytes, char separator) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    // Tenths of a kilobyte, an exact half to the even neighbour as printf("%.1f") rounds.
    const uint64_t scaled = bytes % 1024 * 10;
    uint64_t tenths = bytes / 1024 * 10 + scaled / 1024;
    const uint64_t rest = scaled % 1024;
    if (rest > 512 || (rest == 512 && tenths % 2 == 1)) ++tenths;
    return tenthsText(static_cast<int64_t>(tenths), separator) + " kB";
}

}  // namespace zelmo
