// The numeric field writers: integers against snprintf in every width, reals at their edges and
// next to powers of ten.
#include "text/field_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <limits>
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

struct near_power_row {
  writer t;
  std::string text;
  std::string negated_text;
  std::vector<double> xs;
};

// The rows of tests/data/near_powers.txt.
std::vector<near_power_row> near_power_rows() {
  std::ifstream in(ASCIIFY_SOURCE_DIR "/tests/data/near_powers.txt");
  std::vector<near_power_row> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string kind, values;
    near_power_row row;
    std::getline(fields, kind, '|');
    std::getline(fields, row.text, '|');
    std::getline(fields, row.negated_text, '|');
    std::getline(fields, values);
    row.t = kind == "f" ? float32 : float64;
    std::istringstream numbers(values);
    for (std::string number; numbers >> number;) {
      double x = 0;
      std::from_chars(number.data(), number.data() + number.size(), x);
      row.xs.push_back(row.t == float32 ? double(float(x)) : x);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

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

// Values next to the powers of ten 1e-10 to 1e20 and their texts, as the GNU C library's log10,
// pow and printf make them (measured with it), which every system must give: for each power,
// the two 8-byte values between which that library's log10, truncated, steps to the next
// integer (other libraries' log10 rounds differently there), and the power itself; the 4-byte
// value nearest to the power and its two neighbours. Each in both byte orders.
TEST(FieldWriters, WriteValuesNextToPowersOfTenAsTheGnuLibraryDoes) {
  const std::vector<near_power_row> rows = near_power_rows();
  ASSERT_GT(rows.size(), 100u);
  for (const near_power_row& row : rows) {
    for (const double x : row.xs) {
      check_near_power(row.t, x, row.text);
      check_near_power(row.t, -x, row.negated_text);
    }
  }
}

}  // namespace
}  // namespace asciify
