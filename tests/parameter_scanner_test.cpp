// The numeric parameter scanner: digits, one decimal point, 16 characters, and what ends it.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "pcl/interpreter.h"

namespace zelmo {
namespace {

struct ScanCase {
    const char* name;
    std::string input;
    int32_t value;  // paramValue after the scan (starts at 7)
    float real;     // paramReal after the scan (starts at 0.5)
    int terminator;
    size_t end;  // position returned
};

class ScanParameter : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanParameter, SetsValueTerminatorAndPosition) {
    const ScanCase& c = GetParam();
    PclState s;
    s.job = reinterpret_cast<const uint8_t*>(c.input.data());
    s.jobEnd = c.input.size();
    s.paramValue = 7;
    s.paramReal = 0.5f;
    EXPECT_EQ(scanParameter(s, 0), c.end);
    EXPECT_EQ(s.paramValue, c.value);
    EXPECT_FLOAT_EQ(s.paramReal, c.real);
    EXPECT_EQ(s.paramTerminator, c.terminator);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanParameter,
    ::testing::Values(ScanCase{"Integer", "123X", 123, 0.5f, 'X', 4},
                      ScanCase{"LowerCaseGoesOn", "100x200Y", 100, 0.5f, 'x', 4},
                      ScanCase{"RealKeepsValue", "10.0H", 7, 10.0f, 'H', 5},
                      ScanCase{"LaterPointsDropped", "1.2.3H", 7, 1.23f, 'H', 6},
                      ScanCase{"PointAlone", ".H", 7, 0.0f, 'H', 2},
                      ScanCase{"EmptyNumberIsZero", "X", 0, 0.5f, 'X', 1},
                      ScanCase{"MinusEndsScan", "-5X", 0, 0.5f, '-', 1},
                      ScanCase{"SeventeenthDigitTerminates", "00000000000000123X", 12, 0.5f, '3',
                               17},
                      ScanCase{"PointAfterSixteen", "1234567890123456.5", INT32_MAX, 0.5f, '.', 17},
                      ScanCase{"EndOfJobLastByteTerminates", "12", 12, 0.5f, '2', 2},
                      ScanCase{"EndOfJobAfterPoint", "3.", 7, 3.0f, '.', 2},
                      ScanCase{"NothingLeftNoTerminator", "", 0, 0.5f, -1, 0},
                      ScanCase{"EscapeIsConsumed", "100\x1b*p", 100, 0.5f, 0x1B, 4},
                      ScanCase{"ElevenDigitsSaturate", "99999999999W", INT32_MAX, 0.5f, 'W', 12},
                      ScanCase{"LargestValueExact", "2147483647W", INT32_MAX, 0.5f, 'W', 11},
                      ScanCase{"JustAboveSaturates", "2147483648W", INT32_MAX, 0.5f, 'W', 11}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelmo
