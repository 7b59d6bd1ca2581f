#include "text/real_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

namespace asciify {
namespace {

// Which routine a row calls: float_to_text (a 4-byte real) or double_to_text.
enum class routine { four_bytes, eight_bytes };
using enum routine;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One call of a routine (8 and 15 significant digits): the field is `spaces` spaces and
// `rest`, closed by a zero byte, and nothing after it is touched.
struct TextCase {
  const char* name;
  routine which;
  double x;
  int32_t width;
  int32_t keep_zeros;
  int spaces;
  const char* rest;
  bool fits;
};

class RealTextTable : public testing::TestWithParam<TextCase> {};

TEST_P(RealTextTable, WritesExpectedField) {
  const TextCase& c = GetParam();
  const std::string expected = std::string(static_cast<size_t>(c.spaces), ' ') + c.rest;
  ASSERT_EQ(expected.size(), static_cast<size_t>(c.width)) << "table row is inconsistent";
  char buffer[48];
  std::memset(buffer, '#', sizeof buffer);
  const bool fits = c.which == four_bytes
                        ? float_to_text(static_cast<float>(c.x), c.width, buffer, c.keep_zeros, 8)
                        : double_to_text(c.x, c.width, buffer, c.keep_zeros, 15);
  EXPECT_EQ(std::string(buffer, c.width + 1), expected + '\0');
  EXPECT_EQ(fits, c.fits);
  EXPECT_EQ(std::string(buffer + c.width + 1, sizeof buffer - c.width - 1),
            std::string(sizeof buffer - c.width - 1, '#'));
}

// clang-format off
const TextCase kTextCases[] = {
    // Zero, trailing zeros, sign and significant digits.
    {"FloatZero", four_bytes, 0.0, 10, 0, 7, "0.0", true},
    {"FloatNegativeZero", four_bytes, -0.0, 10, 0, 7, "0.0", true},
    {"TrailingZerosRemoved", four_bytes, 5.5, 10, 0, 7, "5.5", true},
    {"OneZeroStaysAfterPoint", four_bytes, 1200.0, 10, 0, 4, "1200.0", true},
    {"EightDigitsOfStoredFloat", four_bytes, 3.14159, 10, 0, 1, "3.1415901", true},
    {"NoiseDigitBelowFiveDropped", four_bytes, 0.3, 10, 0, 7, "0.3", true},
    {"NoiseNinesRoundedUp", four_bytes, 0.7, 10, 0, 7, "0.7", true},
    {"NoRetryForZerosThenFive", four_bytes, 0.5067500472068787, 11, 0, 1, "0.50675005", true},
    {"NoRetryForNinesThenFive", four_bytes, 2.851799488067627, 14, 0, 5, "2.8517995", true},
    {"NegativeFloat", four_bytes, -2.5, 10, 0, 6, "-2.5", true},
    {"NoDecimalsLeftPointStays", four_bytes, 12345678.0, 10, 0, 1, "12345678.", true},
    {"WholeNumberEndingInZerosToExponent", four_bytes, 10000000.0, 10, 0, 5, "1.0E7", true},
    {"ExponentAboveFixedLimit", four_bytes, 123456789.0, 10, 0, 0, "1.234568E8", true},
    {"WiderFieldMoreDecimals", four_bytes, 123456789.0, 12, 0, 1, "1.2345679E8", true},
    {"MantissaRoundsToTenSmall", four_bytes, 0.0001, 10, 0, 4, "1.0E-4", true},
    {"NoiseRetryThenCarryToTen", four_bytes, 0.01, 12, 0, 6, "1.0E-2", true},
    {"CarryToTen", four_bytes, 999999995904.0, 13, 0, 7, "1.0E12", true},
    {"NegativeExponent", four_bytes, 0.00001, 10, 0, 4, "1.0E-5", true},
    {"NegativeMantissaAndExponent", four_bytes, -0.05, 10, 0, 3, "-5.0E-2", true},
    {"TwoDigitExponent", four_bytes, 6.02e23, 10, 0, 3, "6.02E23", true},
    {"FixedLimitSixBelowWidthTen", four_bytes, 1234567.0, 8, 0, 0, "1234567.", true},
    {"FixedOverflowToExponent", four_bytes, 1234567.0, 7, 0, 0, "1.235E6", true},
    {"FixedLimitFiveForNegative", four_bytes, -1234567.0, 9, 0, 0, "-1.2346E6", true},
    {"RoundingCarryKeepsFirstFive", four_bytes, 999.96, 5, 0, 0, "1000.", true},
    {"Width31", four_bytes, 3.14159, 31, 0, 22, "3.1415901", true},
    {"KeepZerosFloat", four_bytes, 2.5, 10, 1, 1, "2.5000000", true},
    {"KeepZerosNoNoiseRetry", four_bytes, 0.3, 10, 1, 0, "0.30000001", true},
    {"FifteenDigits", eight_bytes, 3.141592653589793, 20, 0, 4, "3.14159265358979", true},
    {"WidthLimitsDecimals", eight_bytes, 3.141592653589793, 10, 0, 0, "3.14159265", true},
    {"RoomForIntegerDigits", eight_bytes, 1234.56789012345, 12, 0, 0, "1234.5678901", true},
    {"DoubleKeepsWholeNumberFixed", eight_bytes, 10000000.0, 10, 0, 0, "10000000.0", true},
    {"DoubleAboveFixedLimit", eight_bytes, 100000000.0, 10, 0, 5, "1.0E8", true},
    // 9.99999955 would round to 10 at six decimals: the next exponent, before printing (the
    // 8-byte routine has no carry to ten after it).
    {"DoubleRoundingOverflowBeforePrinting", eight_bytes, 999999955.0, 10, 0, 5, "1.0E9", true},
    {"DoubleLogExactlyMinusOne", eight_bytes, 0.1, 10, 0, 4, "1.0E-1", true},
    {"FiveCharacterExponent", eight_bytes, 1e-150, 12, 0, 4, "1.0E-150", true},
    {"NegativeFiveCharacterExponent", eight_bytes, -1.5e-120, 12, 0, 3, "-1.5E-120", true},
    {"BelowNormalRangeIsZero", eight_bytes, 2e-308, 10, 0, 7, "0.0", true},
    {"KeepZerosDouble", eight_bytes, 2.5, 10, 1, 0, "2.50000000", true},

    // Largest and smallest normal magnitudes.
    {"LargestDouble", eight_bytes, DBL_MAX, 10, 0, 0, "1.7977E308", true},
    {"LargestDoubleNarrow", eight_bytes, DBL_MAX, 6, 0, 0, "2.E308", true},
    {"NegativeLargestDouble", eight_bytes, -DBL_MAX, 12, 0, 0, "-1.79769E308", true},
    {"SmallestNormalIsZero", eight_bytes, DBL_MIN, 12, 0, 9, "0.0", true},
    {"NegativeSmallestNormalIsZero", eight_bytes, -DBL_MIN, 12, 0, 9, "0.0", true},
    {"JustAboveSmallestNormal", eight_bytes, 2.2250738585072019e-308, 12, 0, 0, "2.22507E-308", true},
    {"NearSmallestNormal", eight_bytes, 2.5e-308, 12, 0, 4, "2.5E-308", true},
    {"SubnormalIsZero", eight_bytes, 1e-310, 3, 0, 0, "0.0", true},

    // NaN and the infinities, right-aligned; stars when too narrow.
    {"FloatNaN", four_bytes, kNaN, 10, 0, 7, "NaN", true},
    {"FloatNaNExact", four_bytes, kNaN, 3, 0, 0, "NaN", true},
    {"FloatNaNTooNarrow", four_bytes, kNaN, 2, 0, 0, "**", false},
    {"FloatNaNWidthZero", four_bytes, kNaN, 0, 0, 0, "", true},
    {"FloatInf", four_bytes, kInf, 10, 0, 7, "Inf", true},
    {"FloatMinusInf", four_bytes, -kInf, 4, 0, 0, "-Inf", true},
    {"FloatMinusInfTooNarrow", four_bytes, -kInf, 3, 0, 0, "***", false},
    {"DoubleNaN", eight_bytes, -kNaN, 5, 0, 2, "NaN", true},
    {"DoubleInf", eight_bytes, kInf, 3, 0, 0, "Inf", true},
    {"DoubleMinusInf", eight_bytes, -kInf, 10, 0, 6, "-Inf", true},

    // Narrow fields: zero text, fixed notation.
    {"ZeroWidth0", four_bytes, 0.0, 0, 0, 0, "", true},
    {"ZeroWidth1", four_bytes, 0.0, 1, 0, 0, "*", false},
    {"ZeroWidth2", four_bytes, 0.0, 2, 0, 0, "**", false},
    {"ZeroWidth3", four_bytes, 0.0, 3, 0, 0, "0.0", true},
    {"DoubleZeroWidth2", eight_bytes, 0.0, 2, 0, 0, "**", false},
    {"DoubleSubnormalWidth2", eight_bytes, 1e-310, 2, 0, 0, "**", false},
    {"FixedWidth0", four_bytes, 5.0, 0, 0, 0, "", true},
    {"FixedWidth1", four_bytes, 5.0, 1, 0, 0, "*", false},
    {"FixedWidth2", four_bytes, 5.0, 2, 0, 0, "5.", true},
    {"FixedWidth3", four_bytes, 5.0, 3, 0, 0, "5.0", true},
    {"NegativeFixedWidth2", four_bytes, -5.0, 2, 0, 0, "**", false},
    {"NegativeFixedWidth3", four_bytes, -5.0, 3, 0, 0, "-5.", true},
    {"FloatHalfRoundsUp", four_bytes, 0.5, 2, 0, 0, "1.", true},
    {"FloatTwoAndHalfRoundsUp", four_bytes, 2.5, 2, 0, 0, "3.", true},
    {"FloatTieRoundsAwayFromZero", four_bytes, -0.125, 5, 0, 0, "-0.13", true},
    {"CarryOutOfNarrowField", four_bytes, 99.5, 3, 0, 0, "***", false},
    {"FixedOverflowNoMantissaRoom", four_bytes, 1234567.0, 3, 0, 0, "***", false},

    // Narrow fields: exponent notation (no decimals possible means stars).
    {"ExponentWidth0", four_bytes, 1e10, 0, 0, 0, "", true},
    {"ExponentWidth3", four_bytes, 1e10, 3, 0, 0, "***", false},
    {"ExponentWidth4", four_bytes, 1e10, 4, 0, 0, "****", false},
    {"ExponentWidth5", four_bytes, 1e10, 5, 0, 0, "1.E10", true},
    {"RoundingOverflowWidensExponent", four_bytes, 9.96e9, 5, 0, 0, "1.E10", true},
    {"RoundingOverflowLeavesNoRoom", four_bytes, 9.96e9, 4, 0, 0, "****", false},
    {"NegativeExponentTooNarrow", four_bytes, -0.05, 5, 0, 0, "*****", false},
    {"NegativeExponentNarrowest", four_bytes, -0.05, 6, 0, 0, "-5.E-2", true},
    {"DoubleFiveCharExponentTooNarrow", eight_bytes, 1e-150, 6, 0, 0, "******", false},
    {"NegativeFiveCharExponentTooNarrow", eight_bytes, -1e-150, 7, 0, 0, "*******", false},

    // Every exponent-text width at the narrowest field that holds it.
    {"ExponentTextWidth2", four_bytes, 1e8, 4, 0, 0, "1.E8", true},
    {"ExponentTextWidth2TooNarrow", four_bytes, 1e8, 3, 0, 0, "***", false},
    {"ExponentTextWidth3", four_bytes, 6.02e23, 5, 0, 0, "6.E23", true},
    {"ExponentTextWidth3Negative", four_bytes, 0.005, 5, 0, 0, "5.E-3", true},
    {"ExponentTextWidth4", eight_bytes, 1e200, 6, 0, 0, "1.E200", true},
    {"ExponentTextWidth4TooNarrow", eight_bytes, 1e200, 5, 0, 0, "*****", false},
    {"ExponentTextWidth4Negative", four_bytes, 1e-20, 6, 0, 0, "1.E-20", true},
    {"ExponentTextWidth5", eight_bytes, 1e-150, 7, 0, 0, "1.E-150", true},
    {"ExponentTextWidth5Negative", eight_bytes, -1e-150, 8, 0, 0, "-1.E-150", true},

    // An 8-byte value exactly halfway between two texts rounds as the C library's fixed-point
    // conversion does, to even; 4-byte values go to the larger magnitude (FloatHalfRoundsUp).
    {"DoubleTieToEvenDown", eight_bytes, 0.125, 4, 0, 0, "0.12", true},
    {"DoubleTieToEvenUp", eight_bytes, 0.375, 4, 0, 0, "0.38", true},
    {"DoubleNegativeTie", eight_bytes, -0.125, 5, 0, 0, "-0.12", true},
    {"DoubleTieNoDecimalsDown", eight_bytes, 2.5, 2, 0, 0, "2.", true},
    {"DoubleTieNoDecimalsUp", eight_bytes, 3.5, 2, 0, 0, "4.", true},

    // Widths beyond the supported range are refused with stars rather than overrunning.
    {"Width40IsStars", eight_bytes, 1.5, 40, 0, 0, "****************************************", false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(EdgeCases, RealTextTable, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace asciify
