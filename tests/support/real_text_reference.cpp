#include "tests/support/real_text_reference.h"

#include <cmath>
#include <cstdio>

#include "text/real_text.h"
#include "text/real_text_stepwise.h"

namespace asciify::reference {
namespace {

// The primitives of the conversion steps as the algorithm states them, on the library.
struct library_primitives {
  // pow(10.0, e) of the GNU C library, which the texts follow: that library's own where it is
  // there (so the converter's powers are checked against it), elsewhere the converter's.
  static double power_of_ten(int32_t e) {
#ifdef __GLIBC__
    return std::pow(10.0, e);
#else
    return gnu_power_of_ten(e);
#endif
  }

  static int32_t exponent_estimate(double magnitude, double bias) {
    return static_cast<int32_t>(std::log10(magnitude) + bias);
  }

  static int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text) {
    char format[32];
    std::snprintf(format, sizeof format, "%%#%d.%df", width, decimals);
    return std::snprintf(text, real_text::kTextSize, format, m);
  }

  static void write_exponent_text(char* at, int32_t width, int32_t e) {
    const char* const formats[] = {"E%1d", "E%2d", "E%3d", "E%4d"};
    std::snprintf(at, static_cast<size_t>(width) + 1, formats[width < 5 ? width - 2 : 3], e);
  }
};

}  // namespace

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  const double wide = x;
  return real_text::real_to_text_stepwise<library_primitives>(wide, true, wide == 0.0, width, out,
                                                              keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  // Zero and every magnitude below the normal range share the zero text.
  const bool zero = std::fabs(x) <= real_text::kSmallestNormal;
  return real_text::real_to_text_stepwise<library_primitives>(x, false, zero, width, out,
                                                              keep_zeros, significant_digits);
}

}  // namespace asciify::reference
