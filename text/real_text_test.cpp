#include "text/real_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

namespace asciify {
namespace {

constexpr bool f4 = true, f8 = false;  // float_to_text (8 digits) or double_to_text (15)
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One call: the field holds `text` right-aligned in `width`, closed by a zero byte, nothing
// after it is touched, and the result says whether it fit (a field of stars does not).
struct text_case {
  bool single;
  double x;
  int32_t width, keep_zeros;
  const char* text;
};

// clang-format off
const text_case kCases[] = {
    // Zero, trailing zeros, sign and significant digits; the noise digits of a stored float
    // dropped (0.3) or rounded up (0.7), but no retry for zeros then five (0.50675005) nor for
    // nines then five (2.8517995).
    {f4, 0.0, 10, 0, "0.0"}, {f4, -0.0, 10, 0, "0.0"}, {f4, 5.5, 10, 0, "5.5"},
    {f4, 1200.0, 10, 0, "1200.0"}, {f4, 3.14159, 10, 0, "3.1415901"}, {f4, 0.3, 10, 0, "0.3"},
    {f4, 0.7, 10, 0, "0.7"}, {f4, 0.5067500472068787, 11, 0, "0.50675005"},
    {f4, 2.851799488067627, 14, 0, "2.8517995"}, {f4, -2.5, 10, 0, "-2.5"},
    {f4, 12345678.0, 10, 0, "12345678."}, {f4, 10000000.0, 10, 0, "1.0E7"},
    {f4, 123456789.0, 10, 0, "1.234568E8"}, {f4, 123456789.0, 12, 0, "1.2345679E8"},
    {f4, 0.0001, 10, 0, "1.0E-4"}, {f4, 0.01, 12, 0, "1.0E-2"},
    {f4, 999999995904.0, 13, 0, "1.0E12"}, {f4, 0.00001, 10, 0, "1.0E-5"},
    {f4, -0.05, 10, 0, "-5.0E-2"}, {f4, 6.02e23, 10, 0, "6.02E23"},
    {f4, 1234567.0, 8, 0, "1234567."}, {f4, 1234567.0, 7, 0, "1.235E6"},
    {f4, -1234567.0, 9, 0, "-1.2346E6"}, {f4, 999.96, 5, 0, "1000."},
    {f4, 3.14159, 31, 0, "3.1415901"}, {f4, 2.5, 10, 1, "2.5000000"},
    {f4, 0.3, 10, 1, "0.30000001"}, {f8, 3.141592653589793, 20, 0, "3.14159265358979"},
    {f8, 3.141592653589793, 10, 0, "3.14159265"}, {f8, 1234.56789012345, 12, 0, "1234.5678901"},
    {f8, 10000000.0, 10, 0, "10000000.0"}, {f8, 100000000.0, 10, 0, "1.0E8"},
    // 9.99999955 would round to 10 at six decimals: the next exponent, before printing (the
    // 8-byte routine has no carry to ten after it).
    {f8, 999999955.0, 10, 0, "1.0E9"}, {f8, 0.1, 10, 0, "1.0E-1"}, {f8, 1e-150, 12, 0, "1.0E-150"},
    {f8, -1.5e-120, 12, 0, "-1.5E-120"}, {f8, 2e-308, 10, 0, "0.0"}, {f8, 2.5, 10, 1, "2.50000000"},

    // Largest and smallest normal magnitudes; below the normal range is zero.
    {f8, DBL_MAX, 10, 0, "1.7977E308"}, {f8, DBL_MAX, 6, 0, "2.E308"},
    {f8, -DBL_MAX, 12, 0, "-1.79769E308"}, {f8, DBL_MIN, 12, 0, "0.0"},
    {f8, -DBL_MIN, 12, 0, "0.0"}, {f8, 2.2250738585072019e-308, 12, 0, "2.22507E-308"},
    {f8, 2.5e-308, 12, 0, "2.5E-308"}, {f8, 1e-310, 3, 0, "0.0"},

    // NaN and the infinities, right-aligned; stars when too narrow.
    {f4, kNaN, 10, 0, "NaN"}, {f4, kNaN, 3, 0, "NaN"}, {f4, kNaN, 2, 0, "**"}, {f4, kNaN, 0, 0, ""},
    {f4, kInf, 10, 0, "Inf"}, {f4, -kInf, 4, 0, "-Inf"}, {f4, -kInf, 3, 0, "***"},
    {f8, -kNaN, 5, 0, "NaN"}, {f8, kInf, 3, 0, "Inf"}, {f8, -kInf, 10, 0, "-Inf"},

    // Narrow fields: zero text, fixed notation; 4-byte ties go away from zero.
    {f4, 0.0, 0, 0, ""}, {f4, 0.0, 1, 0, "*"}, {f4, 0.0, 2, 0, "**"}, {f4, 0.0, 3, 0, "0.0"},
    {f8, 0.0, 2, 0, "**"}, {f8, 1e-310, 2, 0, "**"}, {f4, 5.0, 0, 0, ""}, {f4, 5.0, 1, 0, "*"},
    {f4, 5.0, 2, 0, "5."}, {f4, 5.0, 3, 0, "5.0"}, {f4, -5.0, 2, 0, "**"}, {f4, -5.0, 3, 0, "-5."},
    {f4, 0.5, 2, 0, "1."}, {f4, 2.5, 2, 0, "3."}, {f4, -0.125, 5, 0, "-0.13"},
    {f4, 99.5, 3, 0, "***"}, {f4, 1234567.0, 3, 0, "***"},

    // Narrow fields: exponent notation (no decimals possible means stars).
    {f4, 1e10, 0, 0, ""}, {f4, 1e10, 3, 0, "***"}, {f4, 1e10, 4, 0, "****"},
    {f4, 1e10, 5, 0, "1.E10"}, {f4, 9.96e9, 5, 0, "1.E10"}, {f4, 9.96e9, 4, 0, "****"},
    {f4, -0.05, 5, 0, "*****"}, {f4, -0.05, 6, 0, "-5.E-2"}, {f8, 1e-150, 6, 0, "******"},
    {f8, -1e-150, 7, 0, "*******"},

    // Every exponent-text width at the narrowest field that holds it.
    {f4, 1e8, 4, 0, "1.E8"}, {f4, 1e8, 3, 0, "***"}, {f4, 6.02e23, 5, 0, "6.E23"},
    {f4, 0.005, 5, 0, "5.E-3"}, {f8, 1e200, 6, 0, "1.E200"}, {f8, 1e200, 5, 0, "*****"},
    {f4, 1e-20, 6, 0, "1.E-20"}, {f8, 1e-150, 7, 0, "1.E-150"}, {f8, -1e-150, 8, 0, "-1.E-150"},

    // An 8-byte value exactly halfway between two texts rounds as the C library's fixed-point
    // conversion does, to even.
    {f8, 0.125, 4, 0, "0.12"}, {f8, 0.375, 4, 0, "0.38"}, {f8, -0.125, 5, 0, "-0.12"},
    {f8, 2.5, 2, 0, "2."}, {f8, 3.5, 2, 0, "4."},

    // Widths beyond the supported range are refused with stars rather than overrunning.
    {f8, 1.5, 40, 0, "****************************************"},
};
// clang-format on

TEST(RealText, WritesTheFieldAndNothingAfterIt) {
  for (const text_case& c : kCases) {
    SCOPED_TRACE(testing::Message() << (c.single ? "float " : "double ") << c.x << " width "
                                    << c.width << " keep_zeros " << c.keep_zeros);
    const std::string text = c.text;
    ASSERT_LE(text.size(), static_cast<size_t>(c.width)) << "table row is inconsistent";
    const std::string expected = std::string(c.width - text.size(), ' ') + text + '\0';
    const bool stars = !text.empty() && text.find_first_not_of('*') == std::string::npos;
    char buffer[48];
    std::memset(buffer, '#', sizeof buffer);
    const bool fits = c.single
                          ? float_to_text(static_cast<float>(c.x), c.width, buffer, c.keep_zeros, 8)
                          : double_to_text(c.x, c.width, buffer, c.keep_zeros, 15);
    EXPECT_EQ(std::string(buffer, c.width + 1), expected);
    EXPECT_EQ(fits, !stars);
    EXPECT_EQ(std::string(buffer + c.width + 1, sizeof buffer - c.width - 1),
              std::string(sizeof buffer - c.width - 1, '#'));
  }
}

}  // namespace
}  // namespace asciify
