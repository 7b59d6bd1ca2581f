// The quick paths of the field writers and the line writer against texts built independently:
// integers with snprintf, reals with the step-by-step reference transcription.
#include "text/field_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/real_text_reference.h"
#include "text/byte_order.h"
#include "text/digit_text.h"

namespace asciify {
namespace {

#ifdef ASCIIFY_SANITIZED
constexpr int kScale = 10;  // the instrumented build takes a sample
#else
constexpr int kScale = 1;
#endif

struct random_source {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

TEST(DigitText, EightDigitsMatchesPrintf) {
  if constexpr (!digit_text::kLittleEndian) GTEST_SKIP() << "word layout of little-endian machines";
  const uint32_t step = 97 * kScale;
  for (uint32_t v = 0; v < 100000000; v += (v < 100000 ? 1 : step)) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08u", v);
    const uint64_t word = digit_text::eight_digits(v);
    ASSERT_EQ(std::memcmp(&word, expected, 8), 0) << v;
    const int32_t zeros = static_cast<int32_t>(std::strspn(expected, "0"));
    ASSERT_EQ(digit_text::leading_zero_digits(word), zeros < 7 ? zeros : 7) << v;
  }
}

TEST(DigitText, ShortCopiesAndFillsTouchOnlyTheirBytes) {
  const char source[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGH";
  for (size_t n = 0; n <= 40; ++n) {
    char copied[48];
    char filled[48];
    std::memset(copied, '#', sizeof copied);
    std::memset(filled, '#', sizeof filled);
    digit_text::copy_short(copied + 2, source, n);
    digit_text::fill_short(filled + 2, '*', n);
    EXPECT_EQ(std::string(copied, 2), "##");
    EXPECT_EQ(std::string(copied + 2, n), std::string(source, n));
    EXPECT_EQ(std::string(filled + 2, n), std::string(n, '*'));
    for (size_t i = n + 2; i < sizeof copied; ++i) {
      ASSERT_EQ(copied[i], '#') << n;
      ASSERT_EQ(filled[i], '#') << n;
    }
  }
}

TEST(FieldText, ReversedMatchesEndianSwap) {
  random_source random{17};
  for (int i = 0; i < 1000; ++i) {
    const uint64_t bits = random.next();
    int32_t i32 = static_cast<int32_t>(bits);
    int64_t i64 = static_cast<int64_t>(bits);
    float f32;
    double f64;
    std::memcpy(&f32, &i32, 4);
    std::memcpy(&f64, &i64, 8);
    const int32_t r32 = field_text::reversed(i32);
    const int64_t r64 = field_text::reversed(i64);
    const float rf32 = field_text::reversed(f32);
    const double rf64 = field_text::reversed(f64);
    endian_swap(&i32, 4);
    endian_swap(&i64, 8);
    endian_swap(&f32, 4);
    endian_swap(&f64, 8);
    EXPECT_EQ(r32, i32);
    EXPECT_EQ(r64, i64);
    EXPECT_EQ(std::memcmp(&rf32, &f32, 4), 0);
    EXPECT_EQ(std::memcmp(&rf64, &f64, 8), 0);
  }
}

// The quick path writes exactly what "%*lld" gives, when it takes the value at all.
template <typename Integer>
void check_fixed_integer(Integer value, int32_t width) {
  char field[48];
  std::memset(field, '#', sizeof field);
  const bool taken = field_text::put_fixed_integer(value, width, field);
  const bool expected_taken = width >= 8 && value > -10000000 && value < 100000000;
  ASSERT_EQ(taken, expected_taken) << value << " width " << width;
  if (!taken) {
    for (const char c : field) ASSERT_EQ(c, '#');
    return;
  }
  char expected[48];
  std::snprintf(expected, sizeof expected, "%*lld", width, static_cast<long long>(value));
  ASSERT_EQ(std::string(field), expected) << value << " width " << width;
  for (size_t i = static_cast<size_t>(width) + 1; i < sizeof field; ++i) ASSERT_EQ(field[i], '#');
}

TEST(FieldText, FixedIntegersMatchPrintf) {
  const int64_t edges[] = {0,         1,         -1,         9,          10,        -9,
                           -10,       9999999,   -9999999,   10000000,   -10000000, 99999999,
                           100000000, -99999999, 2147483647, -2147483648};
  for (int32_t width = 0; width <= 31; ++width) {
    for (const int64_t edge : edges) {
      check_fixed_integer(static_cast<int32_t>(edge), width);
      check_fixed_integer(edge, width);
    }
  }
  random_source random{23};
  for (int i = 0; i < 200000 / kScale; ++i) {
    const uint64_t bits = random.next();
    const int32_t digits = static_cast<int32_t>(bits % 10);  // magnitudes of every length
    int64_t scale = 1;
    for (int32_t d = 0; d < digits; ++d) scale *= 10;
    const int64_t magnitude = static_cast<int64_t>((bits >> 8) % static_cast<uint64_t>(scale));
    const int64_t value = (bits & 16) != 0 ? -magnitude : magnitude;
    const auto width = static_cast<int32_t>((bits >> 40) % 32);
    check_fixed_integer(static_cast<int32_t>(value), width);
    check_fixed_integer(value, width);
  }
}

// Whole conversions of point records, as the files mostly hold them, against lines built with
// snprintf and the reference real-number text.
std::string reference_float(float x, int32_t width) {
  if (x == 0.0f) return std::string(static_cast<size_t>(width) - 3, ' ') + "0.0";
  char text[48];
  reference::float_to_text(x, width, text, 0, 8);
  return text;
}

std::string reference_double(double x, int32_t width) {
  if (x == 0.0) return std::string(static_cast<size_t>(width) - 3, ' ') + "0.0";
  char text[48];
  reference::double_to_text(x, width, text, 0, 15);
  return text;
}

std::string integer_text(int64_t value, int32_t width) {
  char text[48];
  std::snprintf(text, sizeof text, "%*lld", width, static_cast<long long>(value));
  return text;
}

double coordinate(random_source& random) {
  const uint64_t bits = random.next();
  double scale = 1.0;
  for (uint64_t d = 0; d < 3 + bits % 4; ++d) scale *= 10.0;
  const auto span = static_cast<uint64_t>(2000 * scale) + 1;
  return (static_cast<double>((bits >> 8) % span) - 1000 * scale) / scale;
}

TEST(LineWriterQuickPaths, PointRecordsMatchReferenceText) {
  for (const testing::order order : {testing::order::native, testing::order::reversed}) {
    random_source random{order == testing::order::native ? 31u : 37u};
    testing::encoder file;
    std::string expected;
    file.start_binary(order);
    file.define(50, {0x0A, 0x74, 0x74, 0x74});
    file.define(51, {0x14, 0x2A, 0x30, 0x34, 0x6A, 0x70});
    for (int i = 0; i < 3000 / kScale; ++i) {
      const auto id = static_cast<int32_t>(random.next() % 100000000) - 5000000;
      const float a = static_cast<float>(coordinate(random));
      const float b = i % 50 == 0 ? 0.0f : static_cast<float>(coordinate(random));
      const float c = static_cast<float>(coordinate(random) * 1e-4);
      file.byte(10).i32(id).f32(a).f32(b).f32(c);
      expected += integer_text(id, 8) + reference_float(a, 16) + reference_float(b, 16) +
                  reference_float(c, 16) + "       0       0\n";
      const double x = coordinate(random);
      const double y = i % 50 == 1 ? 0.0 : coordinate(random) * 1e5;
      const double z = coordinate(random) * 1e-6;
      file.byte(30).byte(50).i32(id).f64(x).f64(y).f64(z);
      expected += integer_text(id, 10) + reference_double(x, 20) + reference_double(y, 20) +
                  reference_double(z, 20) + "         0         0\n";
      file.byte(51).i32(id).f32(a).f32(b).f32(c).f64(x).f64(y);
      expected += integer_text(id, 20) + reference_float(a, 10) + reference_float(b, 16) +
                  reference_float(c, 20) + reference_double(x, 10) + reference_double(y, 16) + "\n";
    }
    file.end_binary();
    const testing::conversion_capture result = testing::convert_in_memory(file.bytes);
    ASSERT_EQ(result.status, 0) << result.messages;
    ASSERT_EQ(result.output.size(), expected.size());
    // Compared line by line, so that a difference shows where it is.
    size_t at = 0;
    while (at < expected.size()) {
      const size_t end = expected.find('\n', at) + 1;
      ASSERT_EQ(result.output.substr(at, end - at), expected.substr(at, end - at));
      at = end;
    }
  }
}

}  // namespace
}  // namespace asciify
