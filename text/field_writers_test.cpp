// The numeric field writers: integers against snprintf in every width, reals at their edges and
// next to powers of ten.
#include "text/field_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <span>
#include <sstream>
#include <string>
#include <vector>

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
// swap_needed is set. Returns the writer's result; `line` and `at` show what it did.
int32_t write_field(writer t, double value, int32_t width, int32_t free, int32_t swap,
                    char (&line)[64], int32_t* at) {
  std::memset(line, '#', sizeof line);
  *at = kStart;
  const auto stored = [swap](auto v) { return swap != 0 ? reversed(v) : v; };
  if (t == int32) return format_int32_field(stored(int32_t(value)), width, free, line, at, swap);
  if (t == int64) return format_int64_field(stored(int64_t(value)), width, free, line, at, swap);
  if (t == float32) return format_float_field(stored(float(value)), width, free, line, at, swap);
  return format_double_field(stored(value), width, free, line, at, swap);
}

// Writes one field: the writer gives 1 exactly when it fills the field with stars, the text
// sits at the line position and ends in a zero byte, the position moves past it, and nothing
// before the field or after max(`touched`, text) was touched.
void check_field(writer t, double value, int32_t width, int32_t free_format, int32_t swap,
                 const std::string& text, int32_t touched) {
  SCOPED_TRACE(::testing::Message() << int(t) << " " << std::setprecision(17) << value << " width "
                                    << width << " free " << free_format << " swap " << swap);
  char line[64];
  int32_t position = 0;
  const bool stars = !text.empty() && text.find_first_not_of('*') == std::string::npos;
  EXPECT_EQ(write_field(t, value, width, free_format, swap, line, &position), stars ? 1 : 0);
  EXPECT_EQ(position, kStart + static_cast<int32_t>(text.size()));
  EXPECT_EQ(std::string(line + kStart, text.size() + 1), text + '\0');
  const auto end = static_cast<size_t>(kStart + std::max<int32_t>(touched, text.size()) + 1);
  EXPECT_EQ(std::string(line, kStart) + std::string(line + end, sizeof line - end),
            std::string(kStart + sizeof line - end, '#'));
}

// Fixed columns right-align what "%lld" gives, or fill the field with '*' when it does not
// fit; free format writes one space and the number, whatever the width.
void check_integer(writer t, int64_t value, int32_t width, int32_t free_format) {
  if (t == int32) value = int32_t(value);  // the low 32 bits
  char text[48];
  std::snprintf(text, sizeof text, "%*lld", free_format != 0 ? 0 : width, (long long)value);
  std::string expected = (free_format != 0 ? " " : "") + std::string(text);
  if (free_format == 0 && int32_t(expected.size()) > width) expected = std::string(width, '*');
  check_field(t, double(value), width, free_format, 0, expected, free_format != 0 ? 0 : width);
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMin64 = -9223372036854775808.0;
// Stored in the reverse byte order, these read here as negative zero: the zero test looks at
// the value as it stood in the record, so they are zero, though the patterns, unswapped, are
// tiny subnormal numbers.
const double kSwappedMinusZero32 = reversed(-0.0f);
const double kSwappedMinusZero64 = reversed(-0.0);

// One call at kStart of a line: the text written, which moves the position by its length;
// the result is 1 when the field is filled with stars.
struct field_case {
  writer t;
  double value;  // stored in the record reversed when swap_needed is set
  int32_t width, free_format, swap_needed;
  const char* text;
};

// clang-format off
const field_case kFieldCases[] = {
    // The smallest 8-byte integer, and values in the reverse byte order.
    {int64, kMin64, 20, 0, 0, "-9223372036854775808"},
    {int64, kMin64, 19, 0, 0, "*******************"},
    {int64, kMin64, 5, 1, 0, " -9223372036854775808"}, {int32, 65536, 8, 0, 1, "   65536"},
    {int32, 0, 4, 0, 1, "   0"}, {int32, 1, 9, 1, 1, " 1"},
    {int64, 72057594037927936.0, 20, 0, 1, "   72057594037927936"},
    // Zero: "0.0" right-aligned, " 0.0" in free format whatever the width.
    {float32, 0.0, 10, 0, 0, "       0.0"}, {float64, 0.0, 10, 0, 0, "       0.0"},
    {float32, 0.0, 10, 1, 0, " 0.0"}, {float64, 0.0, 31, 1, 0, " 0.0"},
    {float32, 0.0, 1, 1, 0, " 0.0"}, {float32, 0.0, 3, 0, 0, "0.0"}, {float32, 0.0, 2, 0, 0, "**"},
    {float64, 0.0, 1, 0, 0, "*"}, {float32, 0.0, 0, 0, 0, ""}, {float64, 1e-310, 12, 1, 0, " 0.0"},
    {float32, kSwappedMinusZero32, 10, 0, 1, "       0.0"},
    {float64, kSwappedMinusZero64, 12, 1, 1, " 0.0"},
    {float32, kSwappedMinusZero32, 10, 0, 0, "1.7937E-43"},
    // Fixed columns: 8 and 15 significant digits.
    {float32, 3.14159, 16, 0, 0, "       3.1415901"},
    {float64, 3.141592653589793, 20, 0, 0, "    3.14159265358979"}, {float32, 1.5, 0, 0, 0, ""},
    {float32, -kInf, 6, 0, 0, "  -Inf"}, {float64, kInf, 2, 0, 0, "**"},
    {float64, -1e-150, 7, 0, 0, "*******"},
    // Free format: leading spaces reduced to one; full or one-space texts left alone.
    {float32, 0.0001, 10, 1, 0, " 1.0E-4"}, {float32, 3.14159, 16, 1, 0, " 3.1415901"},
    {float64, -2.5, 31, 1, 0, " -2.5"}, {float64, 3.141592653589793, 10, 1, 0, "3.14159265"},
    {float32, 3.14159, 10, 1, 0, " 3.1415901"}, {float64, 1.5, 0, 1, 0, ""},
    {float32, 1e10, 3, 1, 0, "***"}, {float64, kNaN, 31, 1, 0, " NaN"},
    {float32, 5.5, 5, 1, 0, " 5.5"}, {float64, -5.5, 6, 1, 0, " -5.5"},  // two spaces, one kept
    // Reverse byte order.
    {float32, 1.5, 10, 0, 1, "       1.5"}, {float64, -1234.5, 10, 0, 1, "   -1234.5"},
    {float64, 6.25, 10, 1, 1, " 6.25"},
};
// clang-format on

TEST(FieldWriters, WriteTheFieldAndAdvance) {
  for (const field_case& c : kFieldCases) {
    check_field(c.t, c.value, c.width, c.free_format, c.swap_needed, c.text, c.width);
  }
}

// Values next to the powers of ten 1e-10 to 1e20 and their texts, as the GNU C library's log10,
// pow and printf make them (measured with it), which every system must give: for each power,
// the two 8-byte values between which that library's log10, truncated, steps to the next
// integer (other libraries' log10 rounds differently there), and the power itself; the 4-byte
// value nearest to the power and its two neighbours. A row gives the texts of x and of -x: the
// text at width 8, then "w:text" at each width up to 23 from which on it changes; the last one is
// also the free-format text (width 31). Each is written in both byte orders.
struct near_power_row {
  const char* text;
  const char* negated_text;
  std::vector<double> xs;
};

// clang-format off
const near_power_row kNearPowerDoubles[] = {
    {"1.0E-10", "-1.0E-10", {1e-10, 1.000000000000002e-10, 1.0000000000000021e-10}},
    {"1.0E-9", "-1.0E-9", {1.0000000000000001e-09, 1.0000000000000021e-09, 1.0000000000000023e-09}},
    {"1.0E-8", "-1.0E-8", {1e-08, 1.000000000000001e-08, 1.0000000000000012e-08}},
    {"1.0E-7", "-1.0E-7", {9.9999999999999995e-08, 1.000000000000001e-07, 1.0000000000000011e-07}},
    {"1.0E-6", "-1.0E-6", {9.9999999999999995e-07, 1.000000000000001e-06, 1.0000000000000012e-06}},
    {"1.0E-5", "-1.0E-5", {1.0000000000000001e-05, 1.0000000000000009e-05, 1.0000000000000011e-05}},
    {"1.0E-4", "-1.0E-4", {0.0001, 0.00010000000000000005, 0.00010000000000000006}},
    {"1.0E-3", "-1.0E-3", {0.001, 0.0010000000000000005, 0.0010000000000000007}},
    {"1.0E-2", "-1.0E-2", {0.01, 0.010000000000000002, 0.010000000000000004}},
    {"1.0E-1", "-1.0E-1", {0.10000000000000001}},
    {"0.1", "-0.1", {0.10000000000000002}},
    {"1.0", "-1.0", {0.99999999999999989, 1, 1.0000000000000002}},
    {"10.0", "-10.0", {9.9999999999999982, 10}},
    {"100.0", "-100.0", {99.999999999999972, 99.999999999999986, 100}},
    {"1000.0 16:999.999999999999", "-1000.0 17:-999.999999999999", {999.99999999999932}},
    {"1000.0", "-1000.0", {999.99999999999943, 1000}},
    {"10000.0 16:9999.99999999999", "-10000.0 17:-9999.99999999999", {9999.9999999999945}},
    {"10000.0", "-10000.0", {9999.9999999999964, 10000}},
    {"100000.0 16:99999.9999999999", "-100000. 9:-100000.0 17:-99999.9999999999", {99999.999999999898}},
    {"100000.0", "-100000. 9:-100000.0", {99999.999999999913, 100000}},
    {"1000000. 9:1000000.0 16:999999.999999999", "-1.0E6 9:-1000000. 10:-1000000.0 17:-999999.999999999", {999999.99999999884}},
    {"1000000. 9:1000000.0", "-1.0E6 10:-1000000.0", {999999.99999999895, 1000000}},
    {"1.0E7 9:10000000. 10:10000000.0 16:9999999.99999999", "-1.0E7 10:-10000000. 11:-10000000.0 17:-9999999.99999999", {9999999.9999999888}},
    {"1.0E7 10:10000000.0", "-1.0E7 10:-10000000. 11:-10000000.0", {9999999.9999999907, 10000000}},
    {"1.0E8 10:100000000. 11:100000000.0 16:99999999.9999999", "-1.0E8 11:-100000000. 12:-100000000.0 17:-99999999.9999999", {99999999.999999896}},
    {"1.0E8", "-1.0E8", {99999999.999999911, 100000000}},
    {"1.0E9 18:9.99999999999998E8", "-1.0E9 19:-9.99999999999998E8", {999999999.99999774}},
    {"1.0E9", "-1.0E9", {999999999.99999785, 1000000000}},
    {"1.0E10 18:9.99999999999998E9", "-1.0E10 19:-9.99999999999998E9", {9999999999.999979}},
    {"1.0E10", "-1.0E10", {9999999999.9999809, 10000000000}},
    {"1.0E11 19:9.99999999999998E10", "-1.0E11 20:-9.99999999999998E10", {99999999999.999786}},
    {"1.0E11", "-1.0E11", {99999999999.999802, 100000000000}},
    {"1.0E12 19:9.99999999999998E11", "-1.0E12 20:-9.99999999999998E11", {999999999999.9978}},
    {"1.0E12", "-1.0E12", {999999999999.99792, 1000000000000}},
    {"1.0E13 19:9.99999999999998E12", "-1.0E13 20:-9.99999999999998E12", {9999999999999.9785}},
    {"1.0E13", "-1.0E13", {9999999999999.9805, 10000000000000}},
    {"1.0E14 19:9.99999999999998E13", "-1.0E14 20:-9.99999999999998E13", {99999999999999.797}},
    {"1.0E14", "-1.0E14", {99999999999999.812, 100000000000000}},
    {"1.0E15 19:9.99999999999998E14", "-1.0E15 20:-9.99999999999998E14", {999999999999997.88}},
    {"1.0E15", "-1.0E15", {999999999999998, 1000000000000000}},
    {"1.0E16 19:9.99999999999998E15", "-1.0E16 20:-9.99999999999998E15", {9999999999999978}},
    {"1.0E16", "-1.0E16", {9999999999999980, 10000000000000000}},
    {"1.0E17 19:9.99999999999996E16", "-1.0E17 20:-9.99999999999996E16", {99999999999999584}},
    {"1.0E17", "-1.0E17", {99999999999999600, 1e+17}},
    {"1.0E18 19:9.99999999999996E17", "-1.0E18 20:-9.99999999999996E17", {9.9999999999999578e+17}},
    {"1.0E18", "-1.0E18", {9.999999999999959e+17, 1e+18}},
    {"1.0E19 19:9.99999999999996E18", "-1.0E19 20:-9.99999999999996E18", {9.999999999999957e+18}},
    {"1.0E19", "-1.0E19", {9.999999999999959e+18, 1e+19}},
    {"1.0E20 19:9.99999999999996E19", "-1.0E20 20:-9.99999999999996E19", {9.999999999999959e+19}},
    {"1.0E20", "-1.0E20", {9.9999999999999607e+19, 1e+20}},
};

const near_power_row kNearPowerFloats[] = {
    {"1.0E-10 13:9.9999994E-11", "-1.0E-10 14:-9.9999994E-11", {9.99999944e-11}},
    {"1.0E-10", "-1.0E-10", {1.00000001e-10, 1.00000008e-10}},
    {"1.0E-9 13:9.9999986E-10", "-1.0E-9 14:-9.9999986E-10", {9.99999861e-10}},
    {"1.0E-9", "-1.0E-9", {9.99999972e-10, 1.00000008e-09}},
    {"1.0E-8 12:9.9999991E-9", "-1.0E-8 13:-9.9999991E-9", {9.99999905e-09}},
    {"1.0E-8", "-1.0E-8", {9.99999994e-09, 1.00000008e-08}},
    {"1.0E-7 12:9.9999994E-8", "-1.0E-7 13:-9.9999994E-8", {9.99999941e-08}},
    {"1.0E-7", "-1.0E-7", {1.00000001e-07, 1.00000008e-07}},
    {"1.0E-6 12:9.9999988E-7", "-1.0E-6 13:-9.9999988E-7", {9.99999884e-07}},
    {"1.0E-6", "-1.0E-6", {9.99999997e-07, 1.00000011e-06}},
    {"1.0E-5 12:9.9999988E-6", "-1.0E-5 13:-9.9999988E-6", {9.99999884e-06}},
    {"1.0E-5", "-1.0E-5", {9.99999975e-06, 1.00000007e-05}},
    {"1.0E-4 12:9.999999E-5", "-1.0E-4 13:-9.999999E-5", {9.99999902e-05}},
    {"1.0E-4", "-1.0E-4", {9.99999975e-05, 0.000100000005}},
    {"1.0E-3 12:9.9999993E-4", "-1.0E-3 13:-9.9999993E-4", {0.000999999931}},
    {"1.0E-3", "-1.0E-3", {0.00100000005, 0.00100000016}},
    {"1.0E-2 12:9.9999988E-3", "-1.0E-2 13:-9.9999988E-3", {0.00999999885}},
    {"1.0E-2", "-1.0E-2", {0.00999999978, 0.0100000007}},
    {"1.0E-1 12:9.9999994E-2", "-1.0E-1 13:-9.9999994E-2", {0.099999994}},
    {"0.1", "-0.1", {0.100000001, 0.100000009}},
    {"1.0 10:0.99999994", "-1.0 11:-0.99999994", {0.99999994}},
    {"1.0", "-1.0", {1, 1.00000012}},
    {"10.0 9:9.999999", "-10.0 10:-9.999999", {9.99999905}},
    {"10.0", "-10.0", {10, 10.000001}},
    {"100.0 9:99.999992", "-100.0 10:-99.999992", {99.9999924}},
    {"100.0", "-100.0", {100, 100.000008}},
    {"1000.0 9:999.99994", "-1000.0 10:-999.99994", {999.999939}},
    {"1000.0", "-1000.0", {1000, 1000.00006}},
    {"10000.0 9:9999.999", "-10000.0 10:-9999.999", {9999.99902}},
    {"10000.0", "-10000.0", {10000, 10000.001}},
    {"99999.99 9:99999.992", "-100000. 9:-99999.99 10:-99999.992", {99999.9922}},
    {"100000.0", "-1.0E5 9:-100000.0", {100000}},
    {"100000.0 9:100000.01", "-1.0E5 9:-100000.0 10:-100000.01", {100000.008}},
    {"999999.9 9:999999.94", "-1.0E6 9:-999999.9 10:-999999.94", {999999.938}},
    {"1.0E6 9:1000000.0", "-1.0E6 10:-1000000.0", {1000000}},
    {"1.0E6 9:1000000.1", "-1.0E6 10:-1000000.1", {1000000.06}},
    {"9999999. 9:9999999.0", "-1.0E7 10:-9999999.0", {9999999}},
    {"1.0E7", "-1.0E7", {10000000}},
    {"1.0E7 10:10000001.", "-1.0E7 10:-10000001.", {10000001}},
    {"1.0E8 10:99999992.", "-1.0E8 10:-99999992.", {99999992}},
    {"1.0E8", "-1.0E8", {100000000, 100000008}},
    {"1.0E9 11:9.9999994E8", "-1.0E9 12:-9.9999994E8", {999999936}},
    {"1.0E9", "-1.0E9", {1e+09, 1.00000006e+09}},
    {"1.0E10 11:9.999999E9", "-1.0E10 12:-9.999999E9", {9.99999898e+09}},
    {"1.0E10", "-1.0E10", {1e+10, 1.0000001e+10}},
    {"1.0E11 12:9.999999E10", "-1.0E11 13:-9.999999E10", {9.99999898e+10}},
    {"1.0E11", "-1.0E11", {9.9999998e+10, 1.00000006e+11}},
    {"1.0E12 12:9.9999993E11", "-1.0E12 13:-9.9999993E11", {9.9999993e+11}},
    {"1.0E12", "-1.0E12", {9.99999996e+11, 1.00000006e+12}},
    {"1.0E13 12:9.9999988E12", "-1.0E13 13:-9.9999988E12", {9.99999878e+12}},
    {"1.0E13", "-1.0E13", {9.99999983e+12, 1.00000009e+13}},
    {"1.0E14 12:9.9999992E13", "-1.0E14 13:-9.9999992E13", {9.9999992e+13}},
    {"1.0E14", "-1.0E14", {1e+14, 1.00000009e+14}},
    {"1.0E15 12:9.9999992E14", "-1.0E15 13:-9.9999992E14", {9.9999992e+14}},
    {"1.0E15", "-1.0E15", {9.99999987e+14, 1.00000005e+15}},
    {"1.0E16 12:9.9999992E15", "-1.0E16 13:-9.9999992E15", {9.9999992e+15}},
    {"1.0E16", "-1.0E16", {1.00000003e+16, 1.00000013e+16}},
    {"1.0E17 12:9.999999E16", "-1.0E17 13:-9.999999E16", {9.99999898e+16}},
    {"1.0E17", "-1.0E17", {9.99999984e+16, 1.00000007e+17}},
    {"1.0E18 12:9.9999992E17", "-1.0E18 13:-9.9999992E17", {9.99999916e+17}},
    {"1.0E18", "-1.0E18", {9.99999984e+17, 1.00000005e+18}},
    {"1.0E19 12:9.9999989E18", "-1.0E19 13:-9.9999989E18", {9.99999888e+18}},
    {"1.0E19", "-1.0E19", {9.99999998e+18, 1.00000011e+19}},
    {"1.0E20 12:9.9999993E19", "-1.0E20 13:-9.9999993E19", {9.99999932e+19}},
    {"1.0E20", "-1.0E20", {1.00000002e+20, 1.00000011e+20}},
};
// clang-format on

// The texts of widths 0-23 that `runs` gives (from width 8 on).
std::vector<std::string> texts_by_width(const std::string& runs) {
  std::vector<std::string> texts(24);
  std::istringstream in(runs);
  std::string run;
  while (in >> run) {
    const size_t colon = run.find(':');
    const bool first = colon == std::string::npos;
    const auto from = first ? 8 : std::stoi(run.substr(0, colon));
    std::fill(texts.begin() + from, texts.end(), first ? run : run.substr(colon + 1));
  }
  return texts;
}

// The fields of widths 8-23 in fixed columns and the free-format field, in both byte orders.
void check_near_power(writer t, double x, const std::string& runs) {
  const std::vector<std::string> texts = texts_by_width(runs);
  for (const int32_t swap : {0, 1}) {
    for (int32_t width = 8; width <= 23; ++width) {
      const std::string padding(width - texts[width].size(), ' ');
      check_field(t, x, width, 0, swap, padding + texts[width], width);
    }
    check_field(t, x, 31, 1, swap, " " + texts[23], 31);
  }
}

void check_near_power_rows(writer t, std::span<const near_power_row> rows) {
  for (const near_power_row& row : rows) {
    for (const double x : row.xs) {
      check_near_power(t, x, row.text);
      check_near_power(t, -x, row.negated_text);
    }
  }
}

TEST(FieldWriters, WriteValuesNextToPowersOfTenAsTheGnuLibraryDoes) {
  check_near_power_rows(float64, kNearPowerDoubles);
  check_near_power_rows(float32, kNearPowerFloats);
}

}  // namespace
}  // namespace asciify
