#include "tests/support/real_text_reference.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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

std::string difference_from_fast(bool single, uint64_t bits, int32_t width, int32_t keep_zeros,
                                 int32_t significant_digits) {
  constexpr int kGuard = 8;  // bytes before the field
  char fields[2][56];
  bool fits[2];
  for (int which = 0; which < 2; ++which) {
    char* field = fields[which];
    std::memset(field, '#', sizeof fields[which]);
    if (single) {
      float x;
      const auto low = static_cast<uint32_t>(bits);
      std::memcpy(&x, &low, sizeof x);
      fits[which] =
          which == 0
              ? asciify::float_to_text(x, width, field + kGuard, keep_zeros, significant_digits)
              : float_to_text(x, width, field + kGuard, keep_zeros, significant_digits);
    } else {
      double x;
      std::memcpy(&x, &bits, sizeof x);
      fits[which] =
          which == 0
              ? asciify::double_to_text(x, width, field + kGuard, keep_zeros, significant_digits)
              : double_to_text(x, width, field + kGuard, keep_zeros, significant_digits);
    }
  }
  if (fits[0] == fits[1] && std::memcmp(fields[0], fields[1], sizeof fields[0]) == 0) return "";
  std::string shown[2];
  for (int which = 0; which < 2; ++which) {
    for (const char c : fields[which]) shown[which] += c == '\0' ? '|' : c;
  }
  char head[160];
  std::snprintf(head, sizeof head,
                "%s bits %#llx, width %d, keep_zeros %d, significant digits %d:\n",
                single ? "float" : "double", static_cast<unsigned long long>(bits), width,
                keep_zeros, significant_digits);
  return head + std::string("fast      [") + shown[0] + "] " + std::to_string(fits[0]) +
         "\nreference [" + shown[1] + "] " + std::to_string(fits[1]);
}

}  // namespace asciify::reference
