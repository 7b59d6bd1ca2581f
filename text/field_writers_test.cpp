// The numeric field writers: integers against snprintf in every width, reals at their edges.
#include "text/field_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/random_source.h"

namespace asciify {
namespace {

using test_support::random_source;

#if defined(ASCIIFY_SANITIZED) || defined(ASCIIFY_EMULATED)
constexpr int kScale = 10;  // the instrumented or emulated build takes a sample
#else
constexpr int kScale = 1;
#endif

constexpr int32_t kStart = 5;  // fields are written after some text already in the line

template <typename T>
T reversed(T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof bytes);
  std::reverse(bytes, bytes + sizeof bytes);
  std::memcpy(&value, bytes, sizeof bytes);
  return value;
}

// The writer a row calls, named by the field type it writes.
enum class writer { int32, int64, float32, float64 };
using enum writer;

// Runs one writer at kStart of a line of guard bytes, the value stored reversed when
// swap_needed is set. Returns the writer's result; `line` and `position` show what it did.
int32_t write_field(writer t, double value, int32_t width, int32_t free_format, int32_t swap,
                    char (&line)[64], int32_t* position) {
  std::memset(line, '#', sizeof line);
  *position = kStart;
  const auto stored = [swap](auto v) { return swap != 0 ? reversed(v) : v; };
  switch (t) {
    case int32:
      return format_int32_field(stored(int32_t(value)), width, free_format, line, position, swap);
    case int64:
      return format_int64_field(stored(int64_t(value)), width, free_format, line, position, swap);
    case float32:
      return format_float_field(stored(float(value)), width, free_format, line, position, swap);
    default:
      return format_double_field(stored(value), width, free_format, line, position, swap);
  }
}

// The text sits at the line position and ends in a zero byte, the position moved by `advance`,
// and nothing before the field or after max(width, text) was touched.
void expect_field(const char (&line)[64], int32_t position, const std::string& text,
                  int32_t advance, int32_t width) {
  EXPECT_EQ(position, kStart + advance);
  EXPECT_EQ(std::string(line + kStart, text.size() + 1), text + '\0');
  const auto end = static_cast<size_t>(kStart + std::max<int32_t>(width, text.size()) + 1);
  EXPECT_EQ(std::string(line, kStart) + std::string(line + end, sizeof line - end),
            std::string(kStart + sizeof line - end, '#'));
}

// Fixed columns right-align what "%lld" gives, or fill the field with '*' when it does not
// fit; free format writes one space and the number, whatever the width.
void check_integer(writer t, int64_t value, int32_t width, int32_t free_format) {
  if (t == int32) value = int32_t(value);  // the low 32 bits
  char line[64];
  int32_t position = 0;
  const int32_t result = write_field(t, double(value), width, free_format, 0, line, &position);
  char text[48];
  std::snprintf(text, sizeof text, "%*lld", free_format != 0 ? 0 : width, (long long)value);
  std::string expected = (free_format != 0 ? " " : "") + std::string(text);
  const bool stars = free_format == 0 && int32_t(expected.size()) > width;
  if (stars) expected = std::string(width, '*');
  SCOPED_TRACE(::testing::Message() << value << " width " << width << " free " << free_format);
  EXPECT_EQ(result, stars && width > 0 ? 1 : 0);
  expect_field(line, position, expected, free_format != 0 ? int32_t(expected.size()) : width,
               free_format != 0 ? 0 : width);
}

TEST(IntegerFields, MatchPrintfInEveryWidth) {
  const int64_t big = int64_t{1} << 62;
  const int64_t edges[] = {0,         1,         -1,         9,         10,
                           -9,        -10,       9999999,    -9999999,  10000000,
                           -10000000, 99999999,  100000000,  -99999999, 123456789,
                           INT32_MAX, INT32_MIN, -INT32_MAX, big,       -big};
  for (int32_t width = 0; width <= 31; ++width) {
    for (const int64_t edge : edges) {
      for (const writer t : {int32, int64}) {
        check_integer(t, edge, width, 0);
        check_integer(t, edge, width, 1);
      }
    }
  }
  random_source random{23};
  for (int i = 0; i < 200000 / kScale && !::testing::Test::HasFailure(); ++i) {
    const uint64_t bits = random.next();
    int64_t scale = 1;
    for (uint64_t d = 0; d < bits % 10; ++d) scale *= 10;  // magnitudes of every length
    const int64_t magnitude = static_cast<int64_t>((bits >> 8) % static_cast<uint64_t>(scale));
    const auto width = static_cast<int32_t>((bits >> 40) % 32);
    check_integer((bits & 32) != 0 ? int32 : int64, (bits & 16) != 0 ? -magnitude : magnitude,
                  width, (bits >> 60) == 0 ? 1 : 0);
  }
}

struct field_case {
  const char* name;
  writer t;
  double value;  // stored in the record reversed when swap_needed is set
  int32_t width;
  int32_t free_format;
  int32_t swap_needed;
  const char* text;
  int32_t advance;
  int32_t result;
};

void PrintTo(const field_case& c, std::ostream* os) {
  *os << c.name;
}

class FieldTable : public ::testing::TestWithParam<field_case> {};

TEST_P(FieldTable, WritesFieldAndAdvances) {
  const field_case& c = GetParam();
  char line[64];
  int32_t position = 0;
  EXPECT_EQ(write_field(c.t, c.value, c.width, c.free_format, c.swap_needed, line, &position),
            c.result);
  expect_field(line, position, c.text, c.advance, c.width);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMin64 = -9223372036854775808.0;

// clang-format off
const field_case kFieldCases[] = {
    // The smallest 8-byte integer, and values in the reverse byte order.
    {"Int64SmallestFits", int64, kMin64, 20, 0, 0, "-9223372036854775808", 20, 0},
    {"Int64SmallestTooWide", int64, kMin64, 19, 0, 0, "*******************", 19, 1},
    {"Int64SmallestFree", int64, kMin64, 5, 1, 0, " -9223372036854775808", 21, 0},
    {"Int32Swapped", int32, 65536, 8, 0, 1, "   65536", 8, 0},
    {"Int32ZeroSwapped", int32, 0, 4, 0, 1, "   0", 4, 0},
    {"Int32SwappedFree", int32, 1, 9, 1, 1, " 1", 2, 0},
    {"Int64Swapped", int64, 72057594037927936.0, 20, 0, 1, "   72057594037927936", 20, 0},
    // Zero: "0.0" right-aligned, " 0.0" in free format whatever the width.
    {"FloatZeroFixed", float32, 0.0, 10, 0, 0, "       0.0", 10, 0},
    {"DoubleZeroFixed", float64, 0.0, 10, 0, 0, "       0.0", 10, 0},
    {"FloatZeroFree", float32, 0.0, 10, 1, 0, " 0.0", 4, 0},
    {"DoubleZeroFreeWide", float64, 0.0, 31, 1, 0, " 0.0", 4, 0},
    {"FloatZeroFreeNarrow", float32, 0.0, 1, 1, 0, " 0.0", 4, 0},
    {"FloatZeroWidth3", float32, 0.0, 3, 0, 0, "0.0", 3, 0},
    {"FloatZeroTooNarrow", float32, 0.0, 2, 0, 0, "**", 2, 1},
    {"DoubleZeroTooNarrow", float64, 0.0, 1, 0, 0, "*", 1, 1},
    {"FloatZeroWidthZero", float32, 0.0, 0, 0, 0, "", 0, 0},
    {"DoubleSubnormalFree", float64, 1e-310, 12, 1, 0, " 0.0", 4, 0},
    // Fixed columns: 8 and 15 significant digits.
    {"FloatFixed", float32, 3.14159, 16, 0, 0, "       3.1415901", 16, 0},
    {"DoubleFixed", float64, 3.141592653589793, 20, 0, 0, "    3.14159265358979", 20, 0},
    {"FloatFixedWidthZero", float32, 1.5, 0, 0, 0, "", 0, 0},
    {"FixedMinusInf", float32, -kInf, 6, 0, 0, "  -Inf", 6, 0},
    {"FixedInfTooNarrow", float64, kInf, 2, 0, 0, "**", 2, 1},
    {"FixedTooNarrowIsStars", float64, -1e-150, 7, 0, 0, "*******", 7, 1},
    // Free format: leading spaces reduced to one; full or one-space texts left alone.
    {"FreeFourSpaces", float32, 0.0001, 10, 1, 0, " 1.0E-4", 7, 0},
    {"FreeSevenSpaces", float32, 3.14159, 16, 1, 0, " 3.1415901", 10, 0},
    {"FreeManySpaces", float64, -2.5, 31, 1, 0, " -2.5", 5, 0},
    {"FreeFullWidth", float64, 3.141592653589793, 10, 1, 0, "3.14159265", 10, 0},
    {"FreeOneSpace", float32, 3.14159, 10, 1, 0, " 3.1415901", 10, 0},
    {"FreeWidthZero", float64, 1.5, 0, 1, 0, "", 0, 0},
    {"FreeTooNarrowIsStars", float32, 1e10, 3, 1, 0, "***", 3, 1},
    {"FreeNaN", float64, kNaN, 31, 1, 0, " NaN", 4, 0},
    // Reverse byte order.
    {"FloatSwapped", float32, 1.5, 10, 0, 1, "       1.5", 10, 0},
    {"DoubleSwapped", float64, -1234.5, 10, 0, 1, "   -1234.5", 10, 0},
    {"DoubleSwappedFree", float64, 6.25, 10, 1, 1, " 6.25", 5, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(EdgeCases, FieldTable, ::testing::ValuesIn(kFieldCases),
                         [](const ::testing::TestParamInfo<field_case>& info) {
                           return std::string(info.param.name);
                         });

// The zero test looks at the value as it stood in the record. The pattern that reads here as
// negative zero is, in the reverse byte order, a tiny positive subnormal; it is still zero.
TEST(RealFields, ZeroTestPrecedesByteSwap) {
  char line[64];
  int32_t position = 0;
  ASSERT_NE(reversed(-0.0f), 0.0f);  // a subnormal once swapped
  EXPECT_EQ(format_float_field(-0.0f, 10, 0, line, &position, 1), 0);
  EXPECT_STREQ(line, "       0.0");
  position = 0;
  EXPECT_EQ(format_double_field(-0.0, 12, 1, line, &position, 1), 0);
  EXPECT_STREQ(line, " 0.0");
  EXPECT_EQ(position, 4);
  // Without the swap the same tiny subnormal is a number, not zero.
  position = 0;
  EXPECT_EQ(format_float_field(reversed(-0.0f), 10, 0, line, &position, 0), 0);
  EXPECT_STRNE(line, "       0.0");
}

}  // namespace
}  // namespace asciify
