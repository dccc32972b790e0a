// Numbers as the user reads them: a decimal separator given by the caller (the user's, or a dot
// where a script reads the text), never the process locale's, and thousands apart by a space.
#pragma once

#include <cstdint>
#include <string>

namespace zelmo {

// Tenths as a number with exactly one decimal: -12,5; 176 050,2.
std::string tenthsText(int64_t tenths, char separator);
// Bytes below a kilobyte as "N B", else kilobytes with one decimal, rounded as printf does:
// "1023 B", "176 050,2 kB".
std::string sizeText(uint64_t bytes, char separator);

}  // namespace zelmo
