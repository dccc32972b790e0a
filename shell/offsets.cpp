// The settings panel's numbers: typed millimetres, stored tenths, and INI integers.
#include "shell/offsets.h"

#include "output/page_output.h"
#include "shell/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zelmo {
namespace offsets {
namespace {

constexpr double kMaxMillimetres = 999.9;

// The text without the blanks around it.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// True when text is digits only, at least one.
bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

// Millimetres to tenths, clamped, halves to even.
int32_t millimetresToTenths(double millimetres) {
    if (millimetres < -kMaxMillimetres) millimetres = -kMaxMillimetres;
    if (millimetres > kMaxMillimetres) millimetres = kMaxMillimetres;
    // The default rounding mode rounds an exact half to the even neighbour.
    return static_cast<int32_t>(std::nearbyint(millimetres * 10));
}

// Counted down from the exact quotient, so that the limit holds for the very rounding with which
// the pages are placed.
int32_t sheetLimitTenths(int32_t pixels, int32_t dpi) {
    constexpr int32_t kMaxTenths = 9999;
    if (pixels <= 0 || dpi <= 0) return kMaxTenths;
    int64_t tenths = std::min<int64_t>(kMaxTenths, static_cast<int64_t>(pixels) * 254 / dpi + 1);
    while (tenths > 0 && offsetPixels(dpi, static_cast<int32_t>(tenths)) >= pixels)
        --tenths;
    return static_cast<int32_t>(tenths);
}

// Tenths as millimetres, "0.0" with the given separator.
std::string formatTenths(int32_t tenths, char separator) {
    return tenthsText(tenths, separator);
}

// A decimal number as the window accepts it, or false.
bool parseDecimal(const std::string& text, char separator, double& value) {
    std::string s = trimmed(text);
    std::size_t pos = 0;
    std::string sign;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) sign = s[pos++] == '-' ? "-" : "";
    // Mantissa: digits with at most one separator, at least one digit; then an exponent.
    const std::size_t exponentAt = s.find_first_of("eE", pos);
    std::string mantissa =
        s.substr(pos, exponentAt == std::string::npos ? std::string::npos : exponentAt - pos);
    std::string exponent = exponentAt == std::string::npos ? "" : s.substr(exponentAt + 1);
    // Both marks are taken whatever the system's: a Pole types a comma, the keypad gives a dot.
    const std::size_t sepAt = mantissa.find_first_of(std::string(1, separator) + ".,");
    std::string whole = mantissa.substr(0, sepAt);
    std::string fraction = sepAt == std::string::npos ? "" : mantissa.substr(sepAt + 1);
    if (!(allDigits(whole) || allDigits(fraction))) return false;
    if ((!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction)))
        return false;
    if (exponentAt != std::string::npos) {
        const std::string digits = !exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')
                                       ? exponent.substr(1)
                                       : exponent;
        if (!allDigits(digits)) return false;
    }
    // from_chars does not depend on the C locale, whose separator may differ from the view's.
    const std::string canonical = sign + (whole.empty() ? "0" : whole) + "." +
                                  (fraction.empty() ? "0" : fraction) +
                                  (exponentAt == std::string::npos ? "" : "e" + exponent);
    double parsed = 0;
    const auto result =
        std::from_chars(canonical.data(), canonical.data() + canonical.size(), parsed);
    if (result.ec != std::errc() || result.ptr != canonical.data() + canonical.size()) return false;
    value = parsed;
    return true;
}

// An INI integer as Windows reads it, or fallback.
int32_t parseProfileInt(const std::string& text, int32_t fallback) {
    std::string s = trimmed(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.erase(0, 2);
    } else if (!s.empty() && s[0] == '$') {
        base = 16;
        s.erase(0, 1);
    }
    int64_t magnitude = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (s.empty() || result.ec != std::errc() || result.ptr != s.data() + s.size()) return fallback;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return fallback;
    return static_cast<int32_t>(value);
}

// Two fallbacks that differ tell a value that is not an integer.
bool readProfileInt(const std::string& text, int32_t& value) {
    const int32_t parsed = parseProfileInt(text, 0);
    if (parseProfileInt(text, 1) != parsed) return false;
    value = parsed;
    return true;
}

}  // namespace offsets

}  // namespace zelmo
