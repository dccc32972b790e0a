// The settings panel's conversions between what the user types and what Zelmo.ini stores.
#pragma once

#include <cstdint>
#include <string>

namespace zelmo {

// The settings panel's conversions, shared with the tests.
namespace offsets {
// Millimetres to tenths: clamped to -999.9..999.9, times 10, halves to the even neighbour.
int32_t millimetresToTenths(double millimetres);
// The largest offset in tenths, either way, that leaves some of a sheet of the given pixels at
// dpi on the sheet, at most 999.9 mm; 999.9 mm when the sheet is not known (a zero).
int32_t sheetLimitTenths(int32_t pixels, int32_t dpi);
// Tenths as millimetres with exactly one decimal and the given separator.
std::string formatTenths(int32_t tenths, char separator);
// A decimal number with the given separator, a dot or a comma (sign, digits, fraction,
// exponent, surrounding blanks); false when text is not one.
bool parseDecimal(const std::string& text, char separator, double& value);
// An integer as an INI file holds it (decimal, "$" or "0x" hexadecimal); fallback otherwise.
int32_t parseProfileInt(const std::string& text, int32_t fallback);
// The same integer into value; false, with value as it was, when text is not one.
bool readProfileInt(const std::string& text, int32_t& value);
}  // namespace offsets

}  // namespace zelmo
