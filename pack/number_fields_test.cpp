#include "pack/number_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <tuple>

#include "tests/support/random_source.h"
#include "text/field_writers.h"

namespace asciify {
namespace {

const number_order kNative = make_number_order(native_byte_order());

const uint8_t* bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// The format byte that `text` packs to: a whole fixed field (leading spaces and number) or a
// free-format token; -1 when it stays text.
int packed_format(const std::string& text, bool free = false) {
  const auto size = static_cast<int32_t>(text.size());
  number_field f;
  if (free) return free_number_field(bytes(text), size, kNative, &f) ? f.format : -1;
  const number_text shape = match_number(
      bytes(text), static_cast<int32_t>(std::min(text.find_first_not_of(' '), text.size())), size);
  const bool packed =
      shape.end == size && fixed_number_field(bytes(text), size, shape, kNative, &f);
  return packed ? f.format : -1;
}

TEST(NumberText, ShapesAndDigits) {
  struct row {
    const char* text;
    int32_t end;
    bool integer;
    int32_t significant;
    uint64_t mantissa;
    int32_t exponent;
  } rows[] = {
      // clang-format off
      {"-123", 4, true, 3, 123, 0},               {"0.0025", 6, false, 2, 25, -4},
      {"1.0E-12", 7, false, 2, 10, -13},          {"1.234568E8", 10, false, 7, 1234568, 2},
      {"12345678.", 9, false, 8, 12345678, 0},    {"5E", 1, true, 1, 5, 0},
      {"7-3", 1, true, 1, 7, 0},                  {"abc", 0, false, 0, 0, 0},
      {"-", 0, false, 0, 0, 0},
      {"12345678901234567890123", 23, true, 23, 1234567890123456789ull, 4},
      // clang-format on
  };
  for (const row& r : rows) {
    const std::string text = r.text;
    const number_text shape = match_number(bytes(text), 0, static_cast<int32_t>(text.size()));
    EXPECT_EQ(shape.end, r.end) << text;
    if (r.end == 0) continue;
    EXPECT_EQ(std::tuple(shape.integer, shape.significant, shape.mantissa, shape.exponent),
              std::tuple(r.integer, r.significant, r.mantissa, r.exponent))
        << text;
  }
}

// The narrowest type whose writer renders the field exactly, in fixed columns and in free
// format.
TEST(NumberFields, TakeTheNarrowestTypeThatRendersExactly) {
  struct row {
    const char* text;
    int format;  // -1: stays text
    bool free = false;
  } rows[] = {
      // clang-format off
      {"       1", 0x08},           {"         0", 0x0A},
      {"-2147483647", 0x0B},        {"-2147483648", 0x4B},  // the 4-byte marker's value
      {"        2147483648", 0x52}, {"9223372036854775807", 0x53},
      {"-9223372036854775808", -1},  // the 8-byte marker
      {"     007", -1},             {"      -0", -1},
      {"            0.25", 0x30},   {"     0.3", 0x28},
      {"       0.333333333333333", 0x78},
      {"   -5.0E-2", 0x2A},         {"     1.0E-12", 0x2C},
      {"     0.0", 0x28},           {"    -0.0", -1},  // the writer writes zero as 0.0
      {"    0.25000", -1},          // not the writer's text: trailing zeros
      {" 1.79769313486232E308", -1}, {"  1.7976931348623E308", 0x75},
      {"12345678901234567890123456789012", -1},  // wider than a field
      {" 4321", 0x1F, true},        {"4321", -1, true},
      {" -9000000000", 0x5F, true}, {" 125.0", 0x3F, true},
      {" 1.25E-9", 0x3F, true},     {"1.2345678", 0x29, true},
      {" 0.0", 0x3F, true},         {"", -1, true},
      {" abc", -1, true},
      // clang-format on
  };
  for (const row& r : rows) EXPECT_EQ(packed_format(r.text, r.free), r.format) << r.text;
}

// Texts the writers give for random values: those with '*', NaN or an infinity stay text;
// nearly all others pack, as a value that the writer (the check inside) renders the same.
TEST(NumberFields, WriterTextsOfRandomValuesPack) {
  asciify::test_support::random_source random{42};
  int valid = 0, unpacked = 0;
  for (int i = 0; i < 200000; ++i) {
    const auto width = static_cast<int32_t>(random.between(1, 30));
    char text[64];
    int32_t position = 0;
    const uint64_t bits = random.next();
    const bool decimal = i % 4 < 2;  // else any bit pattern
    bool special;                    // written with '*', or NaN or infinite
    if (i % 2 == 0) {
      const float v = decimal ? static_cast<float>(random.between(-99999999, 99999999)) / 1e4f
                              : std::bit_cast<float>(static_cast<uint32_t>(bits));
      special = asciify::format_float_field(v, width, 0, text, &position, 0) || !std::isfinite(v);
    } else {
      const double v = decimal ? static_cast<double>(random.between(-999999999, 999999999)) * 1e-7
                               : std::bit_cast<double>(bits);
      special = asciify::format_double_field(v, width, 0, text, &position, 0) || !std::isfinite(v);
    }
    const std::string field(text, static_cast<size_t>(width));
    const int format = packed_format(field);
    if (special) {
      EXPECT_EQ(format, -1) << field;
    } else {
      ++valid;
      unpacked += format < 0;
      EXPECT_TRUE(format < 0 || (format & 0x1F) == width) << field;
    }
  }
  EXPECT_LE(unpacked * 1000, valid) << unpacked << " of " << valid << " texts stayed text";
}

}  // namespace
}  // namespace asciify
