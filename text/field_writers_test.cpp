#include "text/field_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace asciify {
namespace {

constexpr char kGuard = '#';
constexpr int kLineSize = 64;
constexpr int32_t kStart = 5;  // fields are written after some text already in the line

template <typename T>
T reversed(T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof bytes);
  for (size_t i = 0; i < sizeof bytes / 2; ++i) std::swap(bytes[i], bytes[sizeof bytes - 1 - i]);
  std::memcpy(&value, bytes, sizeof bytes);
  return value;
}

// Checks the line after a writer call: the text sits at the line position and ends in a zero
// byte, the position moved by `advance`, and nothing outside the field was touched.
void expect_field(const char* line, int32_t position, const char* text, int32_t advance,
                  int32_t reserved) {
  EXPECT_EQ(position, kStart + advance);
  const auto length = static_cast<int32_t>(std::strlen(text));
  EXPECT_EQ(std::string(line + kStart, static_cast<size_t>(length)), text);
  EXPECT_EQ(line[kStart + length], '\0');
  for (int i = 0; i < kStart; ++i) ASSERT_EQ(line[i], kGuard) << "byte " << i;
  for (int i = kStart + std::max(reserved, length) + 1; i < kLineSize; ++i) {
    ASSERT_EQ(line[i], kGuard) << "byte " << i;
  }
}

struct IntegerCase {
  const char* name;
  bool eight_bytes;
  int64_t stored;  // the value as it stands in the record
  int32_t width;
  int32_t free_format;
  int32_t swap_needed;
  const char* text;
  int32_t advance;
  int32_t result;
};

void PrintTo(const IntegerCase& c, std::ostream* os) {
  *os << c.name;
}

class IntegerFieldTable : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFieldTable, WritesFieldAndAdvances) {
  const IntegerCase& c = GetParam();
  char line[kLineSize];
  std::memset(line, kGuard, sizeof line);
  int32_t position = kStart;
  const int32_t result =
      c.eight_bytes
          ? format_int64_field(c.stored, c.width, c.free_format, line, &position, c.swap_needed)
          : format_int32_field(static_cast<int32_t>(c.stored), c.width, c.free_format, line,
                               &position, c.swap_needed);
  EXPECT_EQ(result, c.result);
  expect_field(line, position, c.text, c.advance, c.free_format != 0 ? 0 : c.width);
}

constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

const IntegerCase kIntegerCases[] = {
    // Right-aligned columns, or one space and the number in free format.
    {"Int32Fixed", false, 42, 10, 0, 0, "        42", 10, 0},
    {"Int32Free", false, 42, 10, 1, 0, " 42", 3, 0},
    {"Int32FreeIgnoresWidth", false, -12, 0, 1, 0, " -12", 4, 0},
    {"Int64Fixed", true, -1, 20, 0, 0, "                  -1", 20, 0},
    {"Int64Free", true, -1, 20, 1, 0, " -1", 3, 0},
    {"Int32WidthZero", false, 7, 0, 0, 0, "", 0, 0},
    {"Int32ExactFit", false, -12, 3, 0, 0, "-12", 3, 0},
    {"Int32TooWide", false, 123456789, 8, 0, 0, "********", 8, 1},
    {"Int32SignMakesTooWide", false, -12, 2, 0, 0, "**", 2, 1},
    {"Int32TooWideWidthZero", false, 5, 0, 0, 0, "", 0, 0},
    {"Int64SmallestFits", true, kMin64, 20, 0, 0, "-9223372036854775808", 20, 0},
    {"Int64SmallestTooWide", true, kMin64, 19, 0, 0, "*******************", 19, 1},
    {"Int64SmallestFree", true, kMin64, 5, 1, 0, " -9223372036854775808", 21, 0},

    // Reverse byte order: 256 and 65536 are each other's byte reversal (4 bytes), and so are
    // 1 and 2^56 (8 bytes).
    {"Int32Swapped", false, 256, 8, 0, 1, "   65536", 8, 0},
    {"Int32NotSwapped", false, 256, 8, 0, 0, "     256", 8, 0},
    {"Int32ZeroSwapped", false, 0, 4, 0, 1, "   0", 4, 0},
    {"Int32SwappedFree", false, 0x01000000, 9, 1, 1, " 1", 2, 0},
    {"Int64Swapped", true, 1, 20, 0, 1, "   72057594037927936", 20, 0},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, IntegerFieldTable, testing::ValuesIn(kIntegerCases),
                         [](const testing::TestParamInfo<IntegerCase>& info) {
                           return std::string(info.param.name);
                         });

struct RealCase {
  const char* name;
  bool eight_bytes;
  double value;  // stored in the record reversed when swap_needed is set
  int32_t width;
  int32_t free_format;
  int32_t swap_needed;
  const char* text;
  int32_t advance;
  int32_t result;
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.name;
}

class RealFieldTable : public testing::TestWithParam<RealCase> {};

TEST_P(RealFieldTable, WritesFieldAndAdvances) {
  const RealCase& c = GetParam();
  char line[kLineSize];
  std::memset(line, kGuard, sizeof line);
  int32_t position = kStart;
  int32_t result = 0;
  if (c.eight_bytes) {
    const double stored = c.swap_needed != 0 ? reversed(c.value) : c.value;
    result = format_double_field(stored, c.width, c.free_format, line, &position, c.swap_needed);
  } else {
    const auto value = static_cast<float>(c.value);
    const float stored = c.swap_needed != 0 ? reversed(value) : value;
    result = format_float_field(stored, c.width, c.free_format, line, &position, c.swap_needed);
  }
  EXPECT_EQ(result, c.result);
  expect_field(line, position, c.text, c.advance, c.width);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const RealCase kRealCases[] = {
    // Zero: "0.0" right-aligned, " 0.0" in free format whatever the width.
    {"FloatZeroFixed", false, 0.0, 10, 0, 0, "       0.0", 10, 0},
    {"DoubleZeroFixed", true, 0.0, 10, 0, 0, "       0.0", 10, 0},
    {"FloatZeroFree", false, 0.0, 10, 1, 0, " 0.0", 4, 0},
    {"DoubleZeroFreeWide", true, 0.0, 31, 1, 0, " 0.0", 4, 0},
    {"FloatZeroFreeNarrow", false, 0.0, 1, 1, 0, " 0.0", 4, 0},
    {"FloatZeroWidth3", false, 0.0, 3, 0, 0, "0.0", 3, 0},
    {"FloatZeroTooNarrow", false, 0.0, 2, 0, 0, "**", 2, 1},
    {"DoubleZeroTooNarrow", true, 0.0, 1, 0, 0, "*", 1, 1},
    {"FloatZeroWidthZero", false, 0.0, 0, 0, 0, "", 0, 0},
    {"DoubleSubnormalFree", true, 1e-310, 12, 1, 0, " 0.0", 4, 0},

    // Fixed columns: 8 and 15 significant digits.
    {"FloatFixed", false, 3.14159, 16, 0, 0, "       3.1415901", 16, 0},
    {"DoubleFixed", true, 3.141592653589793, 20, 0, 0, "    3.14159265358979", 20, 0},
    {"FloatFixedWidthZero", false, 1.5, 0, 0, 0, "", 0, 0},
    {"FixedMinusInf", false, -kInf, 6, 0, 0, "  -Inf", 6, 0},
    {"FixedInfTooNarrow", true, kInf, 2, 0, 0, "**", 2, 1},
    {"FixedTooNarrowIsStars", true, -1e-150, 7, 0, 0, "*******", 7, 1},

    // Free format: leading spaces reduced to one; full or one-space texts left alone.
    {"FreeFourSpaces", false, 0.0001, 10, 1, 0, " 1.0E-4", 7, 0},
    {"FreeSevenSpaces", false, 3.14159, 16, 1, 0, " 3.1415901", 10, 0},
    {"FreeManySpaces", true, -2.5, 31, 1, 0, " -2.5", 5, 0},
    {"FreeFullWidth", true, 3.141592653589793, 10, 1, 0, "3.14159265", 10, 0},
    {"FreeOneSpace", false, 3.14159, 10, 1, 0, " 3.1415901", 10, 0},
    {"FreeWidthZero", true, 1.5, 0, 1, 0, "", 0, 0},
    {"FreeTooNarrowIsStars", false, 1e10, 3, 1, 0, "***", 3, 1},
    {"FreeNaN", true, kNaN, 31, 1, 0, " NaN", 4, 0},

    // Reverse byte order.
    {"FloatSwapped", false, 1.5, 10, 0, 1, "       1.5", 10, 0},
    {"DoubleSwapped", true, -1234.5, 10, 0, 1, "   -1234.5", 10, 0},
    {"DoubleSwappedFree", true, 6.25, 10, 1, 1, " 6.25", 5, 0},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, RealFieldTable, testing::ValuesIn(kRealCases),
                         [](const testing::TestParamInfo<RealCase>& info) {
                           return std::string(info.param.name);
                         });

// The zero test looks at the value as it stood in the record. The pattern that reads here as
// negative zero is, in the reverse byte order, a tiny positive subnormal; it is still zero.
TEST(FieldWriters, ZeroTestPrecedesByteSwap) {
  char line[kLineSize];
  int32_t position = 0;
  const float float_pattern = -0.0f;
  ASSERT_NE(reversed(float_pattern), 0.0f);  // a subnormal once swapped
  EXPECT_EQ(format_float_field(float_pattern, 10, 0, line, &position, 1), 0);
  EXPECT_STREQ(line, "       0.0");
  EXPECT_EQ(position, 10);

  position = 0;
  const double double_pattern = -0.0;
  ASSERT_NE(reversed(double_pattern), 0.0);
  EXPECT_EQ(format_double_field(double_pattern, 12, 1, line, &position, 1), 0);
  EXPECT_STREQ(line, " 0.0");
  EXPECT_EQ(position, 4);

  // Without the swap the same tiny subnormal is a number, not zero.
  position = 0;
  EXPECT_EQ(format_float_field(reversed(float_pattern), 10, 0, line, &position, 0), 0);
  EXPECT_STRNE(line, "       0.0");
}

// Fields written one after another in fixed columns end exactly where their widths end.
TEST(FieldWriters, ConsecutiveFixedFieldsKeepTheirColumns) {
  char line[kLineSize];
  int32_t position = 0;
  format_int32_field(7, 4, 0, line, &position, 0);
  format_int32_field(123456, 4, 0, line, &position, 0);
  format_float_field(2.5f, 6, 0, line, &position, 0);
  format_double_field(0.0, 2, 0, line, &position, 0);
  format_int64_field(-3, 3, 0, line, &position, 0);
  EXPECT_EQ(position, 19);
  EXPECT_STREQ(line, "   7****   2.5** -3");
}

}  // namespace
}  // namespace asciify
