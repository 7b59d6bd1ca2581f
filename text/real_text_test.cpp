#include "text/real_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace asciify {
namespace {

enum class Routine { kFloat, kDouble };

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr char kGuard = '#';
constexpr int kBufferSize = 48;

// Runs one routine into a guarded buffer; returns the routine's result.
bool run(Routine routine, double x, int32_t width, int32_t keep_zeros, char* buffer) {
  std::memset(buffer, kGuard, kBufferSize);
  if (routine == Routine::kFloat) {
    return float_to_text(static_cast<float>(x), width, buffer, keep_zeros, 8);
  }
  return double_to_text(x, width, buffer, keep_zeros, 15);
}

// The field is exactly `width` characters and a zero byte, and nothing after it was touched.
void expect_exact_extent(const char* buffer, int32_t width) {
  EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(width));
  for (int i = width + 1; i < kBufferSize; ++i) {
    ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written";
  }
}

struct TextCase {
  const char* name;
  Routine routine;
  double x;
  int32_t width;
  int32_t keep_zeros;
  int spaces;
  const char* rest;
  bool fits;
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

class RealTextTable : public testing::TestWithParam<TextCase> {};

TEST_P(RealTextTable, WritesExpectedField) {
  const TextCase& c = GetParam();
  const std::string expected = std::string(static_cast<size_t>(c.spaces), ' ') + c.rest;
  ASSERT_EQ(expected.size(), static_cast<size_t>(c.width)) << "table row is inconsistent";
  char buffer[kBufferSize];
  const bool fits = run(c.routine, c.x, c.width, c.keep_zeros, buffer);
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(fits, c.fits);
  expect_exact_extent(buffer, c.width);
}

constexpr Routine F = Routine::kFloat;
constexpr Routine D = Routine::kDouble;

const TextCase kTextCases[] = {
    // Zero, trailing zeros, sign and significant digits.
    {"FloatZero", F, 0.0, 10, 0, 7, "0.0", true},
    {"FloatNegativeZero", F, -0.0, 10, 0, 7, "0.0", true},
    {"TrailingZerosRemoved", F, 5.5, 10, 0, 7, "5.5", true},
    {"OneZeroStaysAfterPoint", F, 1200.0, 10, 0, 4, "1200.0", true},
    {"EightDigitsOfStoredFloat", F, 3.14159, 10, 0, 1, "3.1415901", true},
    {"NoiseDigitBelowFiveDropped", F, 0.3, 10, 0, 7, "0.3", true},
    {"NoiseNinesRoundedUp", F, 0.7, 10, 0, 7, "0.7", true},
    {"NoRetryForZerosThenFive", F, 0.5067500472068787, 11, 0, 1, "0.50675005", true},
    {"NoRetryForNinesThenFive", F, 2.851799488067627, 14, 0, 5, "2.8517995", true},
    {"NegativeFloat", F, -2.5, 10, 0, 6, "-2.5", true},
    {"NoDecimalsLeftPointStays", F, 12345678.0, 10, 0, 1, "12345678.", true},
    {"WholeNumberEndingInZerosToExponent", F, 10000000.0, 10, 0, 5, "1.0E7", true},
    {"ExponentAboveFixedLimit", F, 123456789.0, 10, 0, 0, "1.234568E8", true},
    {"WiderFieldMoreDecimals", F, 123456789.0, 12, 0, 1, "1.2345679E8", true},
    {"MantissaRoundsToTenSmall", F, 0.0001, 10, 0, 4, "1.0E-4", true},
    {"NoiseRetryThenCarryToTen", F, 0.01, 12, 0, 6, "1.0E-2", true},
    {"CarryToTen", F, 999999995904.0, 13, 0, 7, "1.0E12", true},
    {"NegativeExponent", F, 0.00001, 10, 0, 4, "1.0E-5", true},
    {"NegativeMantissaAndExponent", F, -0.05, 10, 0, 3, "-5.0E-2", true},
    {"TwoDigitExponent", F, 6.02e23, 10, 0, 3, "6.02E23", true},
    {"FixedLimitSixBelowWidthTen", F, 1234567.0, 8, 0, 0, "1234567.", true},
    {"FixedOverflowToExponent", F, 1234567.0, 7, 0, 0, "1.235E6", true},
    {"FixedLimitFiveForNegative", F, -1234567.0, 9, 0, 0, "-1.2346E6", true},
    {"RoundingCarryKeepsFirstFive", F, 999.96, 5, 0, 0, "1000.", true},
    {"Width31", F, 3.14159, 31, 0, 22, "3.1415901", true},
    {"KeepZerosFloat", F, 2.5, 10, 1, 1, "2.5000000", true},
    {"KeepZerosNoNoiseRetry", F, 0.3, 10, 1, 0, "0.30000001", true},
    {"FifteenDigits", D, 3.141592653589793, 20, 0, 4, "3.14159265358979", true},
    {"WidthLimitsDecimals", D, 3.141592653589793, 10, 0, 0, "3.14159265", true},
    {"RoomForIntegerDigits", D, 1234.56789012345, 12, 0, 0, "1234.5678901", true},
    {"DoubleKeepsWholeNumberFixed", D, 10000000.0, 10, 0, 0, "10000000.0", true},
    {"DoubleAboveFixedLimit", D, 100000000.0, 10, 0, 5, "1.0E8", true},
    {"DoubleLogExactlyMinusOne", D, 0.1, 10, 0, 4, "1.0E-1", true},
    {"FiveCharacterExponent", D, 1e-150, 12, 0, 4, "1.0E-150", true},
    {"NegativeFiveCharacterExponent", D, -1.5e-120, 12, 0, 3, "-1.5E-120", true},
    {"BelowNormalRangeIsZero", D, 2e-308, 10, 0, 7, "0.0", true},
    {"KeepZerosDouble", D, 2.5, 10, 1, 0, "2.50000000", true},

    // Largest and smallest normal magnitudes.
    {"LargestDouble", D, DBL_MAX, 10, 0, 0, "1.7977E308", true},
    {"LargestDoubleNarrow", D, DBL_MAX, 6, 0, 0, "2.E308", true},
    {"NegativeLargestDouble", D, -DBL_MAX, 12, 0, 0, "-1.79769E308", true},
    {"SmallestNormalIsZero", D, DBL_MIN, 12, 0, 9, "0.0", true},
    {"NegativeSmallestNormalIsZero", D, -DBL_MIN, 12, 0, 9, "0.0", true},
    {"JustAboveSmallestNormal", D, 2.2250738585072019e-308, 12, 0, 0, "2.22507E-308", true},
    {"NearSmallestNormal", D, 2.5e-308, 12, 0, 4, "2.5E-308", true},
    {"SubnormalIsZero", D, 1e-310, 3, 0, 0, "0.0", true},

    // NaN and the infinities, right-aligned; stars when too narrow.
    {"FloatNaN", F, kNaN, 10, 0, 7, "NaN", true},
    {"FloatNaNExact", F, kNaN, 3, 0, 0, "NaN", true},
    {"FloatNaNTooNarrow", F, kNaN, 2, 0, 0, "**", false},
    {"FloatNaNWidthZero", F, kNaN, 0, 0, 0, "", true},
    {"FloatInf", F, kInf, 10, 0, 7, "Inf", true},
    {"FloatMinusInf", F, -kInf, 4, 0, 0, "-Inf", true},
    {"FloatMinusInfTooNarrow", F, -kInf, 3, 0, 0, "***", false},
    {"DoubleNaN", D, -kNaN, 5, 0, 2, "NaN", true},
    {"DoubleInf", D, kInf, 3, 0, 0, "Inf", true},
    {"DoubleMinusInf", D, -kInf, 10, 0, 6, "-Inf", true},

    // Narrow fields: zero text, fixed notation.
    {"ZeroWidth0", F, 0.0, 0, 0, 0, "", true},
    {"ZeroWidth1", F, 0.0, 1, 0, 0, "*", false},
    {"ZeroWidth2", F, 0.0, 2, 0, 0, "**", false},
    {"ZeroWidth3", F, 0.0, 3, 0, 0, "0.0", true},
    {"DoubleZeroWidth2", D, 0.0, 2, 0, 0, "**", false},
    {"DoubleSubnormalWidth2", D, 1e-310, 2, 0, 0, "**", false},
    {"FixedWidth0", F, 5.0, 0, 0, 0, "", true},
    {"FixedWidth1", F, 5.0, 1, 0, 0, "*", false},
    {"FixedWidth2", F, 5.0, 2, 0, 0, "5.", true},
    {"FixedWidth3", F, 5.0, 3, 0, 0, "5.0", true},
    {"NegativeFixedWidth2", F, -5.0, 2, 0, 0, "**", false},
    {"NegativeFixedWidth3", F, -5.0, 3, 0, 0, "-5.", true},
    {"FloatHalfRoundsUp", F, 0.5, 2, 0, 0, "1.", true},
    {"FloatTwoAndHalfRoundsUp", F, 2.5, 2, 0, 0, "3.", true},
    {"FloatTieRoundsAwayFromZero", F, -0.125, 5, 0, 0, "-0.13", true},
    {"CarryOutOfNarrowField", F, 99.5, 3, 0, 0, "***", false},
    {"FixedOverflowNoMantissaRoom", F, 1234567.0, 3, 0, 0, "***", false},

    // Narrow fields: exponent notation (no decimals possible means stars).
    {"ExponentWidth0", F, 1e10, 0, 0, 0, "", true},
    {"ExponentWidth3", F, 1e10, 3, 0, 0, "***", false},
    {"ExponentWidth4", F, 1e10, 4, 0, 0, "****", false},
    {"ExponentWidth5", F, 1e10, 5, 0, 0, "1.E10", true},
    {"RoundingOverflowWidensExponent", F, 9.96e9, 5, 0, 0, "1.E10", true},
    {"RoundingOverflowLeavesNoRoom", F, 9.96e9, 4, 0, 0, "****", false},
    {"NegativeExponentTooNarrow", F, -0.05, 5, 0, 0, "*****", false},
    {"NegativeExponentNarrowest", F, -0.05, 6, 0, 0, "-5.E-2", true},
    {"DoubleFiveCharExponentTooNarrow", D, 1e-150, 6, 0, 0, "******", false},
    {"NegativeFiveCharExponentTooNarrow", D, -1e-150, 7, 0, 0, "*******", false},

    // Every exponent-text width at the narrowest field that holds it.
    {"ExponentTextWidth2", F, 1e8, 4, 0, 0, "1.E8", true},
    {"ExponentTextWidth2TooNarrow", F, 1e8, 3, 0, 0, "***", false},
    {"ExponentTextWidth3", F, 6.02e23, 5, 0, 0, "6.E23", true},
    {"ExponentTextWidth3Negative", F, 0.005, 5, 0, 0, "5.E-3", true},
    {"ExponentTextWidth4", D, 1e200, 6, 0, 0, "1.E200", true},
    {"ExponentTextWidth4TooNarrow", D, 1e200, 5, 0, 0, "*****", false},
    {"ExponentTextWidth4Negative", F, 1e-20, 6, 0, 0, "1.E-20", true},
    {"ExponentTextWidth5", D, 1e-150, 7, 0, 0, "1.E-150", true},
    {"ExponentTextWidth5Negative", D, -1e-150, 8, 0, 0, "-1.E-150", true},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, RealTextTable, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return std::string(info.param.name);
                         });

// An 8-byte value exactly halfway between two texts rounds as the C library's fixed-point
// conversion does; 4-byte values are nudged to the text of larger magnitude instead.
TEST(RealText, DoubleTiesFollowLibraryConversion) {
  struct Tie {
    double x;
    int32_t width;
    int decimals;
  };
  const Tie ties[] = {{0.125, 4, 2}, {0.375, 4, 2}, {-0.125, 5, 2}, {2.5, 2, 0}, {3.5, 2, 0}};
  for (const Tie& t : ties) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%#*.*f", t.width, t.decimals, t.x);
    char buffer[kBufferSize];
    EXPECT_TRUE(run(Routine::kDouble, t.x, t.width, 0, buffer));
    EXPECT_STREQ(buffer, expected) << t.x;
  }
}

// Widths beyond the supported range are refused with stars rather than overrunning.
TEST(RealText, WidthAboveSupportedRangeIsStars) {
  char buffer[kBufferSize];
  EXPECT_FALSE(run(Routine::kDouble, 1.5, 40, 0, buffer));
  EXPECT_EQ(std::string(buffer), std::string(40, '*'));
  expect_exact_extent(buffer, 40);
}

// What a field text ("  -1.5E-3", "12345678.", ...) shows: the number before any "E", the
// exponent after it, and how many digits it shows.
struct ShownValue {
  double number;
  int exponent;
  double half_unit;  // half a unit of the number's last digit
  int significant;   // digits shown, without leading and trailing zeros
};

ShownValue parse_shown(const char* text) {
  ShownValue shown{0.0, 0, 0.0, 0};
  const char* exponent = std::strchr(text, 'E');
  if (exponent != nullptr) shown.exponent = std::atoi(exponent + 1);
  const char* end = exponent != nullptr ? exponent : text + std::strlen(text);
  shown.number = std::strtod(std::string(text, end).c_str(), nullptr);
  const auto decimals = static_cast<int>(end - std::strchr(text, '.') - 1);
  shown.half_unit = 0.5 * std::pow(10.0, -decimals);
  std::string digits;
  for (const char* p = text; p < end; ++p) {
    if (*p >= '0' && *p <= '9') digits += *p;
  }
  const size_t first = digits.find_first_not_of('0');
  const size_t last = digits.find_last_not_of('0');
  shown.significant = first == std::string::npos ? 0 : static_cast<int>(last - first + 1);
  return shown;
}

// Checks one field produced for x: its extent, alphabet, alignment and the value it shows.
void check_field(Routine routine, double x, int32_t width) {
  char buffer[kBufferSize];
  const bool fits = run(routine, x, width, 0, buffer);
  SCOPED_TRACE(testing::Message() << (routine == Routine::kFloat ? "float " : "double ")
                                  << std::hexfloat << x << " width " << width << " text [" << buffer
                                  << "]");
  expect_exact_extent(buffer, width);
  const std::string text(buffer);
  ASSERT_EQ(text.find_first_not_of(" 0123456789.-E*NaInf"), std::string::npos);
  if (width == 0) {
    EXPECT_TRUE(fits);
    return;
  }
  // Right-aligned: spaces, then text without spaces, ending in the last column.
  const size_t start = text.find_first_not_of(' ');
  ASSERT_NE(start, std::string::npos);
  EXPECT_EQ(text.find(' ', start), std::string::npos);
  if (!fits) {
    EXPECT_EQ(text, std::string(static_cast<size_t>(width), '*'));
    return;
  }
  ASSERT_EQ(text.find('*'), std::string::npos);
  const std::string shown_text = text.substr(start);
  if (std::isnan(x)) {
    EXPECT_EQ(shown_text, "NaN");
  } else if (std::isinf(x)) {
    EXPECT_EQ(shown_text, x < 0 ? "-Inf" : "Inf");
  } else if (x == 0.0 || (routine == Routine::kDouble && std::fabs(x) <= DBL_MIN)) {
    EXPECT_EQ(shown_text, "0.0");
  } else {
    const ShownValue shown = parse_shown(shown_text.c_str());
    // Compared at the scale of the text, so that mantissas near the top of the range stay
    // finite. Half a unit of the last digit, widened by the 4-byte rounding nudge (one part in
    // 10^10) and by the rounding of the mantissa division for 8-byte values.
    const double scaled = x / std::pow(10.0, shown.exponent);
    const double slack = routine == Routine::kFloat ? 2e-10 : 1e-14;
    EXPECT_NEAR(shown.number, scaled, shown.half_unit * (1.0 + 1e-9) + std::fabs(scaled) * slack);
    EXPECT_LE(shown.significant, routine == Routine::kFloat ? 8 : 15);
  }
}

template <typename Real, typename Bits>
Real from_bits(Bits bits) {
  static_assert(sizeof(Real) == sizeof(Bits));
  Real value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Random bit patterns (every exponent, subnormals, NaN, infinities) and random short decimals
// (ties, noise digits, carries) in every supported width.
TEST(RealText, RandomValuesFillTheirFieldExactly) {
  std::mt19937_64 random(20240611);
  std::uniform_int_distribution<int> mantissa(1, 99999);
  std::uniform_int_distribution<int> power(-12, 14);
  std::uniform_int_distribution<int> sign(0, 1);
  for (int i = 0; i < 3000; ++i) {
    const auto float_bits = static_cast<uint32_t>(random());
    const uint64_t double_bits = random();
    const double decimal =
        (sign(random) != 0 ? -1.0 : 1.0) * mantissa(random) * std::pow(10.0, power(random) - 4);
    for (int32_t width = 0; width <= 31; ++width) {
      check_field(Routine::kFloat, from_bits<float>(float_bits), width);
      check_field(Routine::kDouble, from_bits<double>(double_bits), width);
      check_field(Routine::kFloat, static_cast<float>(decimal), width);
      check_field(Routine::kDouble, decimal, width);
    }
    if (HasFatalFailure() || HasNonfatalFailure()) return;
  }
}

}  // namespace
}  // namespace asciify
