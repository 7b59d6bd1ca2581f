#include "text/real_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

namespace asciify {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One call of float_to_text (8 significant digits) or double_to_text (15): the field holds
// `text` right-aligned in `width`, closed by a zero byte, nothing after it is touched, and the
// result says whether it fit (a field of stars does not).
struct text_case {
  double x;
  int32_t width;
  const char* text;
  int32_t keep_zeros = 0;
};

// clang-format off
const text_case kFloatCases[] = {
    // Zero, trailing zeros, sign and significant digits; the noise digits of a stored float
    // dropped (0.3) or rounded up (0.7), but no retry for zeros then five (0.50675005) nor for
    // nines then five (2.8517995).
    {0.0, 10, "0.0"}, {-0.0, 10, "0.0"}, {5.5, 10, "5.5"}, {1200.0, 10, "1200.0"},
    {3.14159, 10, "3.1415901"}, {0.3, 10, "0.3"}, {0.7, 10, "0.7"},
    {0.5067500472068787, 11, "0.50675005"}, {2.851799488067627, 14, "2.8517995"},
    {-2.5, 10, "-2.5"}, {12345678.0, 10, "12345678."}, {10000000.0, 10, "1.0E7"},
    {123456789.0, 10, "1.234568E8"}, {123456789.0, 12, "1.2345679E8"}, {0.0001, 10, "1.0E-4"},
    {0.01, 12, "1.0E-2"}, {999999995904.0, 13, "1.0E12"}, {0.00001, 10, "1.0E-5"},
    {-0.05, 10, "-5.0E-2"}, {6.02e23, 10, "6.02E23"}, {1234567.0, 8, "1234567."},
    {1234567.0, 7, "1.235E6"}, {-1234567.0, 9, "-1.2346E6"}, {999.96, 5, "1000."},
    {3.14159, 31, "3.1415901"}, {2.5, 10, "2.5000000", 1}, {0.3, 10, "0.30000001", 1},

    // NaN and the infinities, right-aligned; stars when too narrow.
    {kNaN, 10, "NaN"}, {kNaN, 3, "NaN"}, {kNaN, 2, "**"}, {kNaN, 0, ""}, {kInf, 10, "Inf"},
    {-kInf, 4, "-Inf"}, {-kInf, 3, "***"},

    // Narrow fields: zero text, fixed notation; 4-byte ties go away from zero.
    {0.0, 0, ""}, {0.0, 1, "*"}, {0.0, 2, "**"}, {0.0, 3, "0.0"}, {5.0, 0, ""}, {5.0, 1, "*"},
    {5.0, 2, "5."}, {5.0, 3, "5.0"}, {-5.0, 2, "**"}, {-5.0, 3, "-5."}, {0.5, 2, "1."},
    {2.5, 2, "3."}, {-0.125, 5, "-0.13"}, {99.5, 3, "***"}, {1234567.0, 3, "***"},

    // Narrow fields: exponent notation (no decimals possible means stars).
    {1e10, 0, ""}, {1e10, 3, "***"}, {1e10, 4, "****"}, {1e10, 5, "1.E10"}, {9.96e9, 5, "1.E10"},
    {9.96e9, 4, "****"}, {-0.05, 5, "*****"}, {-0.05, 6, "-5.E-2"},

    // Every exponent-text width at the narrowest field that holds it.
    {1e8, 4, "1.E8"}, {1e8, 3, "***"}, {6.02e23, 5, "6.E23"}, {0.005, 5, "5.E-3"},
    {1e-20, 6, "1.E-20"},
};

const text_case kDoubleCases[] = {
    // Significant digits and the room the width leaves for them.
    {3.141592653589793, 20, "3.14159265358979"}, {3.141592653589793, 10, "3.14159265"},
    {1234.56789012345, 12, "1234.5678901"}, {10000000.0, 10, "10000000.0"},
    {100000000.0, 10, "1.0E8"},

    // 9.99999955 would round to 10 at six decimals: the next exponent, before printing (the
    // 8-byte routine has no carry to ten after it).
    {999999955.0, 10, "1.0E9"}, {0.1, 10, "1.0E-1"}, {1e-150, 12, "1.0E-150"},
    {-1.5e-120, 12, "-1.5E-120"}, {2e-308, 10, "0.0"}, {2.5, 10, "2.50000000", 1},

    // Largest and smallest normal magnitudes; below the normal range is zero.
    {DBL_MAX, 10, "1.7977E308"}, {DBL_MAX, 6, "2.E308"}, {-DBL_MAX, 12, "-1.79769E308"},
    {DBL_MIN, 12, "0.0"}, {-DBL_MIN, 12, "0.0"}, {2.2250738585072019e-308, 12, "2.22507E-308"},
    {2.5e-308, 12, "2.5E-308"}, {1e-310, 3, "0.0"},

    // NaN and the infinities, right-aligned; stars when too narrow.
    {-kNaN, 5, "NaN"}, {kInf, 3, "Inf"}, {-kInf, 10, "-Inf"},

    // Narrow fields: zero text; exponent notation (no decimals possible means stars).
    {0.0, 2, "**"}, {1e-310, 2, "**"}, {1e-150, 6, "******"}, {-1e-150, 7, "*******"},

    // Every exponent-text width at the narrowest field that holds it.
    {1e200, 6, "1.E200"}, {1e200, 5, "*****"}, {1e-150, 7, "1.E-150"}, {-1e-150, 8, "-1.E-150"},

    // An 8-byte value exactly halfway between two texts rounds as the C library's fixed-point
    // conversion does, to even (a 4-byte one goes away from zero).
    {0.125, 4, "0.12"}, {0.375, 4, "0.38"}, {-0.125, 5, "-0.12"}, {2.5, 2, "2."}, {3.5, 2, "4."},

    // Widths beyond the supported range are refused with stars rather than overrunning.
    {1.5, 40, "****************************************"},
};
// clang-format on

void check_text(bool single, const text_case& c) {
  SCOPED_TRACE(testing::Message() << (single ? "float " : "double ") << c.x << " width " << c.width
                                  << " keep_zeros " << c.keep_zeros);
  const std::string text = c.text;
  ASSERT_LE(text.size(), static_cast<size_t>(c.width)) << "table row is inconsistent";
  const std::string expected = std::string(c.width - text.size(), ' ') + text + '\0';
  const bool stars = !text.empty() && text.find_first_not_of('*') == std::string::npos;
  char buffer[48];
  std::memset(buffer, '#', sizeof buffer);
  const bool fits = single
                        ? float_to_text(static_cast<float>(c.x), c.width, buffer, c.keep_zeros, 8)
                        : double_to_text(c.x, c.width, buffer, c.keep_zeros, 15);
  EXPECT_EQ(std::string(buffer, c.width + 1), expected);
  EXPECT_EQ(fits, !stars);
  EXPECT_EQ(std::string(buffer + c.width + 1, sizeof buffer - c.width - 1),
            std::string(sizeof buffer - c.width - 1, '#'));
}

TEST(RealText, WritesTheFieldAndNothingAfterIt) {
  for (const text_case& c : kFloatCases) check_text(true, c);
  for (const text_case& c : kDoubleCases) check_text(false, c);
}

}  // namespace
}  // namespace asciify
