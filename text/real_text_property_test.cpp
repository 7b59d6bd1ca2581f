// The fast real-number routines against the step-by-step reference transcription: every field
// byte, the bytes around the field and the result must agree, for random bit patterns, random
// decimals, coordinates, values around every power of ten and exact decimal ties, in every
// width 0-31 and with both signs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "tests/support/real_text_reference.h"
#include "text/real_text.h"

namespace asciify {
namespace {

#ifdef ASCIIFY_SANITIZED
constexpr int64_t kCountDivisor = 5;  // the instrumented build runs a sample of each set
#else
constexpr int64_t kCountDivisor = 1;
#endif

constexpr int kBufferSize = 48;
constexpr int32_t kWidths = 32;  // 0-31

// splitmix64: deterministic across platforms and library versions.
struct random_source {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return next() % n; }
  bool coin() { return (next() & 1) != 0; }
};

template <typename Real, typename Bits>
Real from_bits(Bits bits) {
  static_assert(sizeof(Real) == sizeof(Bits));
  Real value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename Real>
auto to_bits(Real value) {
  using Bits = std::conditional_t<sizeof(Real) == 4, uint32_t, uint64_t>;
  Bits bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Runs both implementations on one value and width; records the first few differences.
class comparison {
 public:
  int64_t calls = 0;

  void check(float x, int32_t width) {
    run(x, width, float_to_text(x, width, fast_, 0, 8),
        reference::float_to_text(x, width, reference_, 0, 8));
  }
  void check(double x, int32_t width) {
    run(x, width, double_to_text(x, width, fast_, 0, 15),
        reference::double_to_text(x, width, reference_, 0, 15));
  }
  // Before each call both buffers are filled with the same guard byte.
  void prepare() {
    std::memset(fast_, '#', kBufferSize);
    std::memset(reference_, '#', kBufferSize);
  }
  bool failed() const { return failures_ > 0; }

 private:
  template <typename Real>
  void run(Real x, int32_t width, bool fast_result, bool reference_result) {
    ++calls;
    if (fast_result == reference_result && std::memcmp(fast_, reference_, kBufferSize) == 0) {
      return;
    }
    if (++failures_ > 10) return;
    ADD_FAILURE() << (sizeof(Real) == 4 ? "float_to_text(" : "double_to_text(") << std::hexfloat
                  << static_cast<double>(x) << std::defaultfloat << ", width " << width
                  << "): fast [" << std::string(fast_, kBufferSize) << "] " << fast_result
                  << ", reference [" << std::string(reference_, kBufferSize) << "] "
                  << reference_result;
  }

  char fast_[kBufferSize];
  char reference_[kBufferSize];
  int failures_ = 0;
};

template <typename Real>
void check_value(comparison& c, Real x, int32_t width) {
  c.prepare();
  c.check(x, width);
}

// Each value at one width, the widths taken in turn so that every width gets its share.
template <typename Real, typename Next>
void check_many(comparison& c, int64_t count, Next next_value) {
  for (int64_t i = 0; i < count / kCountDivisor && !c.failed(); ++i) {
    check_value(c, static_cast<Real>(next_value()), static_cast<int32_t>(i % kWidths));
  }
}

// A decimal with 1 to 9 significant digits and a decimal exponent in [-14, 16], either sign:
// short texts, trailing zeros, noise digits and carries.
double random_decimal(random_source& random) {
  const int digits = 1 + static_cast<int>(random.below(9));
  uint64_t limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  const auto mantissa = static_cast<double>(1 + random.below(limit - 1));
  const int exponent = static_cast<int>(random.below(31)) - 14 - digits;
  const double value = mantissa * std::pow(10.0, exponent);
  return random.coin() ? -value : value;
}

// A coordinate as measured data gives it: [-1000, 1000] with 3 to 6 decimals.
double random_coordinate(random_source& random) {
  const int decimals = 3 + static_cast<int>(random.below(4));
  const double scale = std::pow(10.0, decimals);
  const auto units = static_cast<int64_t>(random.below(static_cast<uint64_t>(2000 * scale) + 1));
  return (static_cast<double>(units) - 1000 * scale) / scale;
}

// A short binary fraction k / 2^s: exact decimal ties at the widths that cut its digits.
double random_tie(random_source& random) {
  const int shift = 1 + static_cast<int>(random.below(12));
  const auto numerator = static_cast<double>(random.below(uint64_t{1} << 20));
  const double value = std::ldexp(numerator + 0.5, -shift);
  return random.coin() ? -value : value;
}

TEST(RealTextProperty, FloatRandomBitPatterns) {
  comparison c;
  random_source random{1};
  check_many<float>(c, 1'000'000,
                    [&] { return from_bits<float>(static_cast<uint32_t>(random.next())); });
  EXPECT_GE(c.calls, 1'000'000 / kCountDivisor);
}

TEST(RealTextProperty, DoubleRandomBitPatterns) {
  comparison c;
  random_source random{2};
  check_many<double>(c, 1'000'000, [&] { return from_bits<double>(random.next()); });
  EXPECT_GE(c.calls, 1'000'000 / kCountDivisor);
}

TEST(RealTextProperty, FloatRandomDecimalsAndCoordinates) {
  comparison c;
  random_source random{3};
  check_many<float>(c, 600'000, [&] { return static_cast<float>(random_decimal(random)); });
  check_many<float>(c, 400'000, [&] { return static_cast<float>(random_coordinate(random)); });
  EXPECT_GE(c.calls, 1'000'000 / kCountDivisor);
}

TEST(RealTextProperty, DoubleRandomDecimalsAndCoordinates) {
  comparison c;
  random_source random{4};
  check_many<double>(c, 600'000, [&] { return random_decimal(random); });
  check_many<double>(c, 400'000, [&] { return random_coordinate(random); });
  EXPECT_GE(c.calls, 1'000'000 / kCountDivisor);
}

TEST(RealTextProperty, ExactTies) {
  comparison c;
  random_source random{5};
  check_many<double>(c, 200'000, [&] { return random_tie(random); });
  check_many<float>(c, 200'000, [&] { return static_cast<float>(random_tie(random)); });
}

// Where the exponent estimate changes: the floats and doubles next to every power of ten, and
// next to the edges of the zone in which the estimate consults log10, in every width.
TEST(RealTextProperty, AroundPowersOfTen) {
  comparison c;
  const int float_steps = kCountDivisor == 1 ? 40 : 4;
  const int double_steps = kCountDivisor == 1 ? 12 : 2;
  for (int k = -45; k <= 38 && !c.failed(); ++k) {
    const uint32_t center = to_bits(static_cast<float>(std::pow(10.0, k)));
    for (int step = -float_steps; step <= float_steps; ++step) {
      for (const float sign : {1.0f, -1.0f}) {
        const float x = sign * from_bits<float>(center + static_cast<uint32_t>(step));
        for (int32_t width = 0; width < kWidths; ++width) check_value(c, x, width);
      }
    }
  }
  for (int k = -307; k <= 308 && !c.failed(); ++k) {
    const double power = std::pow(10.0, k);
    for (const double center : {power, power * (1.0 + 1e-9), power * (1.0 - 1e-9)}) {
      for (int step = -double_steps; step <= double_steps; ++step) {
        const double x = from_bits<double>(to_bits(center) + static_cast<uint64_t>(step));
        for (const int32_t width : {6, 10, 12, 16, 20, 31}) {
          check_value(c, x, width);
          check_value(c, -x, width);
        }
      }
    }
  }
}

// The values the routines treat on their own: zeros, NaN, the infinities and the ends of the
// normal range.
TEST(RealTextProperty, SpecialValues) {
  comparison c;
  const double specials[] = {0.0,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<float>::min(),
                             std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::max(),
                             1.0,
                             9.5,
                             99.5,
                             0.1,
                             0.5};
  for (const double special : specials) {
    for (int32_t width = -1; width <= 40; ++width) {
      for (const double x : {special, -special}) {
        check_value(c, x, width);
        check_value(c, static_cast<float>(x), width);
      }
    }
  }
}

}  // namespace
}  // namespace asciify
