// The numeric parameter of an escape sequence: at most 16 characters, no sign, no exponent.
#include <charconv>
#include <cstdint>

#include "pcl/interpreter.h"

namespace zelmo {
namespace {

constexpr int kMaxParamChars = 16;

// The decimal value of a digit string, saturated so a byte count can never go negative.
int32_t integerValue(const char* text, int length) {
    int64_t value = 0;
    for (int i = 0; i < length; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

// The value of a number with a decimal point, rounded to single precision; "." alone is 0.
float realValue(const char* text, int length) {
    float value = 0.0f;
    // from_chars ignores the locale: a Polish desktop must not turn "1.5" into 1.
    auto result = std::from_chars(text, text + length, value, std::chars_format::fixed);
    return result.ec == std::errc() ? value : 0.0f;
}

}  // namespace

std::size_t scanParameter(PclState& s, std::size_t pos) {
    char text[kMaxParamChars + 1];
    int length = 0;
    bool isReal = false;
    int terminator = -1;
    while (pos < s.jobEnd) {
        uint8_t b = s.job[pos++];
        terminator = b;  // at the end of the job the last byte taken stands as terminator
        if (b >= '0' && b <= '9') {
            if (length == kMaxParamChars) break;
            text[length++] = static_cast<char>(b);
        } else if (b == '.') {
            if (length == kMaxParamChars) break;
            if (!isReal) {
                text[length++] = '.';
                isReal = true;
            }
        } else {
            break;
        }
    }
    text[length] = '\0';
    if (isReal)
        s.paramReal = realValue(text, length);
    else
        s.paramValue = integerValue(text, length);
    s.paramTerminator = terminator;
    return pos;
}

}  // namespace zelmo
