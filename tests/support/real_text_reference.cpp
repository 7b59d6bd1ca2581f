#include "tests/support/real_text_reference.h"

#include <algorithm>
#include <bit>
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

  // Rounded on its own, not fused with the addition it goes into.
  static double half_unit(int32_t decimals) {
    const volatile double product = 5.0 * power_of_ten(-decimals - 1);
    return product;
  }

  static int32_t exponent_estimate(double magnitude, double bias) {
    return static_cast<int32_t>(std::log10(magnitude) + bias);
  }

  static int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text) {
    return std::snprintf(text, real_text::kTextSize, "%#*.*f", width, decimals, m);
  }

  // "E%1d" to "E%4d": the exponent right-aligned after the 'E' in at most four columns.
  static void write_exponent_text(char* at, int32_t width, int32_t e) {
    std::snprintf(at, static_cast<size_t>(width) + 1, "E%*d", std::min(width - 1, 4), e);
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
  const auto x4 = std::bit_cast<float>(static_cast<uint32_t>(bits));
  const auto x8 = std::bit_cast<double>(bits);
  std::string fields[2];  // the fast routine's, then this one's, each with 8 guard bytes before
  bool fits[2];
  for (const bool fast : {true, false}) {
    char field[56];
    std::memset(field, '#', sizeof field);
    char* const at = field + 8;
    const int32_t k = keep_zeros, digits = significant_digits;
    fits[fast ? 0 : 1] =
        single ? (fast ? asciify::float_to_text : float_to_text)(x4, width, at, k, digits)
               : (fast ? asciify::double_to_text : double_to_text)(x8, width, at, k, digits);
    fields[fast ? 0 : 1].assign(field, sizeof field);
  }
  if (fits[0] == fits[1] && fields[0] == fields[1]) return "";
  for (std::string& field : fields) std::replace(field.begin(), field.end(), '\0', '|');
  char head[160];
  std::snprintf(head, sizeof head,
                "%s bits %#llx, width %d, keep_zeros %d, significant digits %d:\n",
                single ? "float" : "double", static_cast<unsigned long long>(bits), width,
                keep_zeros, significant_digits);
  return head + ("fast      [" + fields[0] + "] " + std::to_string(fits[0])) +
         ("\nreference [" + fields[1] + "] " + std::to_string(fits[1]));
}

}  // namespace asciify::reference
