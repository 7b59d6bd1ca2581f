// The fast real-number routines against the step-by-step reference transcription: every field
// byte, the bytes around the field and the result must agree, for random bit patterns, random
// decimals, measured values, exact decimal ties, values around every power of ten and the special
// values, in every width 0-31 and with both signs.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "tests/support/random_source.h"
#include "tests/support/real_text_reference.h"
#include "text/real_text.h"

namespace asciify {
namespace {

using test_support::random_source;

#if defined(ASCIIFY_SANITIZED)
constexpr int64_t kCountDivisor = 5;  // the instrumented build runs a sample of each set
#elif defined(ASCIIFY_EMULATED)
constexpr int64_t kCountDivisor = 10;  // and so does a build run under an emulator
#else
constexpr int64_t kCountDivisor = 1;
#endif
constexpr int32_t kWidths = 32;  // 0-31

template <typename Real>
using bits_of = std::conditional_t<sizeof(Real) == 4, uint32_t, uint64_t>;

// Runs both implementations on one value and width (see reference::difference_from_fast);
// reports the first few differences.
struct comparison {
  int64_t calls = 0;
  int failures = 0;

  template <typename Real>
  void check(Real x, int32_t width) {
    const bool single = sizeof(Real) == 4;
    ++calls;
    const std::string difference = reference::difference_from_fast(
        single, std::bit_cast<bits_of<Real>>(x), width, 0, single ? 8 : 15);
    if (!difference.empty() && ++failures <= 10) ADD_FAILURE() << difference;
  }
  template <typename Real>
  void check_both_signs(Real x, int32_t width) {
    check(x, width);
    check(-x, width);
  }

  // `count` values, each at one width, the widths taken in turn.
  template <typename Real, typename Next>
  void check_many(int64_t count, Next next_value) {
    for (int64_t i = 0; i < count / kCountDivisor && failures == 0; ++i) {
      check(static_cast<Real>(next_value()), static_cast<int32_t>(i % kWidths));
    }
  }
};

// A decimal with 1 to 9 significant digits and a decimal exponent in [-14, 16], either sign:
// short texts, trailing zeros, noise digits and carries.
double random_decimal(random_source& random) {
  const int digits = 1 + static_cast<int>(random.below(9));
  const auto mantissa = static_cast<double>(1 + random.below(std::pow(10, digits) - 1));
  const int exponent = static_cast<int>(random.below(31)) - 14 - digits;
  return random.sign() * mantissa * std::pow(10.0, exponent);
}

// A value as measurements give it: [-1000, 1000] with 3 to 6 decimals.
double random_measured_value(random_source& random) {
  const double scale = std::pow(10.0, 3 + static_cast<int>(random.below(4)));
  const auto units = static_cast<double>(random.below(static_cast<uint64_t>(2000 * scale) + 1));
  return (units - 1000 * scale) / scale;
}

// A short binary fraction k / 2^s: exact decimal ties at the widths that cut its digits.
double random_tie(random_source& random) {
  const auto numerator = static_cast<double>(random.below(uint64_t{1} << 20));
  return random.sign() * std::ldexp(numerator + 0.5, -1 - static_cast<int>(random.below(12)));
}

template <typename Real>
void check_random_values(uint64_t seed) {
  comparison c;
  random_source random{seed};
  c.check_many<Real>(1'000'000, [&] { return std::bit_cast<Real>(bits_of<Real>(random.next())); });
  c.check_many<Real>(600'000, [&] { return random_decimal(random); });
  c.check_many<Real>(400'000, [&] { return random_measured_value(random); });
  c.check_many<Real>(200'000, [&] { return random_tie(random); });
  EXPECT_GE(c.calls, 2'200'000 / kCountDivisor);
}

TEST(RealTextProperty, FloatRandomValues) {
  check_random_values<float>(1);
}

TEST(RealTextProperty, DoubleRandomValues) {
  check_random_values<double>(2);
}

// Where the exponent estimate changes: the floats and doubles next to every power of ten, and
// next to the edges of the zone in which the estimate consults log10, in every width.
TEST(RealTextProperty, AroundPowersOfTen) {
  comparison c;
  const int float_steps = kCountDivisor == 1 ? 40 : 4;
  const int double_steps = kCountDivisor == 1 ? 12 : 2;
  for (int k = -45; k <= 38 && c.failures == 0; ++k) {
    const auto center = std::bit_cast<uint32_t>(static_cast<float>(std::pow(10.0, k)));
    for (int step = -float_steps; step <= float_steps; ++step) {
      const auto x = std::bit_cast<float>(center + static_cast<uint32_t>(step));
      for (int32_t width = 0; width < kWidths; ++width) c.check_both_signs(x, width);
    }
  }
  for (int k = -307; k <= 308 && c.failures == 0; ++k) {
    const double power = std::pow(10.0, k);
    for (const double center : {power, power * (1.0 + 1e-9), power * (1.0 - 1e-9)}) {
      for (int step = -double_steps; step <= double_steps; ++step) {
        const auto x =
            std::bit_cast<double>(std::bit_cast<uint64_t>(center) + static_cast<uint64_t>(step));
        for (const int32_t width : {6, 10, 12, 16, 20, 31}) c.check_both_signs(x, width);
      }
    }
  }
}

// The values the routines treat on their own: zeros, NaN, the infinities and the ends of the
// normal range, in every width from -1 to 40.
TEST(RealTextProperty, SpecialValues) {
  comparison c;
  for (const double special :
       {0.0, double(NAN), double(INFINITY), DBL_MIN, DBL_TRUE_MIN, DBL_MAX, double(FLT_MIN),
        double(FLT_TRUE_MIN), double(FLT_MAX), 1.0, 9.5, 99.5, 0.1, 0.5}) {
    for (int32_t width = -1; width <= 40; ++width) {
      c.check_both_signs(special, width);
      c.check_both_signs(static_cast<float>(special), width);
    }
  }
}

// The primitives themselves, as the GNU C library gives them: every power of ten, and the
// exponent estimate of every 8-byte value within 700 units in the last place of a power of ten
// (where that library's truncated log10 steps to the next integer) and next to the edges of the
// zone in which the fast estimate computes it, and of the 4-byte values near each power. The
// steps measured with that library (which the reference uses where it is not there) are
// checked as well.
TEST(RealTextProperty, PowersAndExponentEstimatesAreTheGnuLibrarys) {
  for (int32_t e = -400; e <= 400; ++e) {
    ASSERT_EQ(std::bit_cast<uint64_t>(gnu_power_of_ten(e)),
              std::bit_cast<uint64_t>(reference::library_power_of_ten(e)))
        << "10^" << e;
  }
  const auto estimates_agree = [](double magnitude, double bias) {
    const int32_t library = reference::library_exponent_estimate(magnitude, bias);
    return gnu_exponent_estimate(magnitude, bias) == library &&
           (bias != 0.0 || reference::truncated_log10_from_steps(magnitude) == library);
  };
  int failures = 0;
  const int64_t span = kCountDivisor == 1 ? 700 : 70;
  for (int32_t k = -307; k <= 308 && failures < 10; ++k) {
    const double power = reference::library_power_of_ten(k);
    for (const double center : {power, power * (1.0 + 1e-9), power * (1.0 - 1e-9)}) {
      for (int64_t step = -span; step <= span; ++step) {
        const auto x = std::bit_cast<double>(std::bit_cast<uint64_t>(center) + uint64_t(step));
        if (x > DBL_MIN && !estimates_agree(x, 0.0) && ++failures <= 10) {
          ADD_FAILURE() << std::hexfloat << x << " near 10^" << k;
        }
      }
    }
  }
  for (int32_t k = -37; k <= 38; ++k) {
    const auto center = std::bit_cast<uint32_t>(static_cast<float>(gnu_power_of_ten(k)));
    for (int32_t step = -int32_t(span); step <= span; ++step) {
      const auto x = std::bit_cast<float>(center + uint32_t(step));
      EXPECT_TRUE(estimates_agree(x, 1e-10)) << std::hexfloat << x << " near 10^" << k;
    }
  }
}

// Inputs of the fuzz target (fuzz/fuzz_real_text.cpp) replayed, so that systems without the
// fuzzer run the comparison too: headers of every kind, bit patterns and values near powers of
// ten.
TEST(RealTextProperty, FuzzInputsReplayed) {
  random_source random{5};
  int failures = 0;
  for (int64_t i = 0; i < 400'000 / kCountDivisor && failures < 10; ++i) {
    uint8_t input[12];
    const uint64_t header = random.next(), value = random.next();
    std::memcpy(input, &header, 4);
    std::memcpy(input + 4, &value, 8);
    const std::string difference = reference::difference_for_fuzz_input(input, sizeof input);
    if (!difference.empty() && ++failures <= 10) ADD_FAILURE() << difference;
  }
}

}  // namespace
}  // namespace asciify
