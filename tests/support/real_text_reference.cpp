#include "tests/support/real_text_reference.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "text/real_text.h"

namespace asciify::reference {
namespace {

// pow(10.0, e) of the GNU C library, which the texts follow: that library's own where it is
// there (so the converter's powers are checked against it), elsewhere the converter's.
double power_of_ten(int e) {
#ifdef __GLIBC__
  return std::pow(10.0, e);
#else
  return gnu_power_of_ten(e);
#endif
}

// Widest field the callers pass; wider requests are filled with '*'.
constexpr int32_t kMaxWidth = 31;

// Room for the printed number part (a few characters longer than the field when rounding
// carries or no decimals are left), the exponent text and the zero byte.
constexpr int kTextSize = 96;

// Every magnitude up to the smallest normal 8-byte value is written as zero.
constexpr double kSmallestNormal = 2.2250738585072014e-308;

enum class Notation { kFixed, kExponent };

// Where the next pass through the conversion starts over.
enum class Restart { kChooseNotation, kLayout, kPrint, kNone };

// Fills the field with '*': no text fits it.
bool write_stars(int32_t width, char* out) {
  std::memset(out, '*', static_cast<size_t>(width));
  out[width] = '\0';
  return false;
}

// Right-aligns `text` in the field, or fills the field with '*' when it is too long.
bool write_right_aligned(const char* text, int32_t width, char* out) {
  const auto length = static_cast<int32_t>(std::strlen(text));
  if (length > width) return write_stars(width, out);
  std::memset(out, ' ', static_cast<size_t>(width - length));
  std::memcpy(out + width - length, text, static_cast<size_t>(length) + 1);
  return true;
}

// Width of the exponent text "E<e>" for the exponent e.
int32_t exponent_text_width(int32_t e) {
  if (e >= 100) return 4;
  if (e >= 10) return 3;
  if (e >= 0) return 2;
  if (e >= -9) return 3;
  if (e >= -99) return 4;
  return 5;
}

// Appends "E" and the exponent, right-aligned in exactly width - 1 characters.
void write_exponent_text(char* at, size_t room, int32_t width, int32_t e) {
  switch (width) {
    case 2:
      std::snprintf(at, room, "E%1d", e);
      break;
    case 3:
      std::snprintf(at, room, "E%2d", e);
      break;
    case 4:
      std::snprintf(at, room, "E%3d", e);
      break;
    default:
      std::snprintf(at, room, "E%4d", e);
      break;
  }
}

// Whether the last three characters of a number part are "00" and a digit below 5, or "99"
// and a digit above 5: the last digit is noise of single precision.
bool ends_in_noise(const char* last3) {
  return (last3[0] == '0' && last3[1] == '0' && last3[2] < '5') ||
         (last3[0] == '9' && last3[1] == '9' && last3[2] > '5');
}

// Text of a finite, non-zero value with a usable logarithm. `single` selects the rules for
// 4-byte values: the exponent estimate is raised by 1e-10, the mantissa is nudged up before
// printing so that halfway cases round away from zero, a mantissa that rounded up to ten is
// redone with the next exponent, and the noise digits of single precision are removed.
bool write_real(double x, bool single, int32_t width, char* out, int32_t keep_zeros,
                int32_t significant_digits) {
  const bool negative = x < 0.0;
  const int32_t sign_width = negative ? 1 : 0;

  // Decimal exponent estimate, truncated toward zero.
  const double logarithm = std::log10(std::fabs(x)) + (single ? 1e-10 : 0.0);
  const auto estimate = static_cast<int32_t>(logarithm);
  int32_t e = estimate;

  // Largest exponent still written in fixed notation.
  int32_t fixed_limit = width >= 10 ? 7 : (negative ? 5 : 6);

  Notation notation = Notation::kFixed;
  int32_t exponent_width = 0;  // X: width of the exponent text, 0 in fixed notation
  int32_t number_width = 0;    // N: width of the number part
  int32_t decimals = 0;        // P: digits after the point
  double m = x;                // the number that is printed

  char format[32];
  char text[kTextSize];
  int printed = 0;  // length of the printed number part

  Restart restart = Restart::kChooseNotation;
  while (restart != Restart::kNone) {
    if (restart == Restart::kChooseNotation) {
      // Fixed notation while the exponent lies in 0..limit; otherwise a one-digit mantissa.
      // A negative estimate is lowered by one so that the mantissa gets an integer digit.
      if (e > fixed_limit || e < 0) {
        notation = Notation::kExponent;
        if (e < 0) --e;
        m = x / power_of_ten(e);
      } else {
        notation = Notation::kFixed;
        m = x;
      }
      restart = Restart::kLayout;
    }

    if (restart == Restart::kLayout) {
      // Layout: exponent text, number part, and the decimals that fit after one digit, the
      // point and the sign. A mantissa that would round up to ten moves to the next exponent.
      for (;;) {
        exponent_width = notation == Notation::kExponent ? exponent_text_width(e) : 0;
        number_width = width - exponent_width;
        decimals = number_width - 2 - sign_width;
        if (notation == Notation::kFixed) break;
        if (decimals < 0) return write_stars(width, out);
        if (std::fabs(m) + 5.0 * power_of_ten(-decimals - 1) < 10.0) break;
        m = m / 10.0;
        ++e;
      }

      if (single) m = m * 1.0000000001;

      // Position of the leading digit: 0 for a mantissa, integer digits - 1 in fixed notation.
      int32_t leading = 0;
      if (notation == Notation::kFixed) leading = std::fabs(m) < 1.0 ? e - 1 : e;

      // No more decimals than the significant digits allow, nor (in fixed notation) than the
      // room left after the sign, the integer digits and the point.
      if (decimals > significant_digits - 1 - leading) {
        decimals = significant_digits - 1 - leading;
      }
      if (notation == Notation::kFixed) {
        const int32_t room = width - leading - 2 - sign_width;
        if (decimals > room) decimals = room;
        if (decimals < 0) decimals = 0;
      }
      restart = Restart::kPrint;
    }

    // Print the number part right-aligned in N columns; the point is always printed.
    std::snprintf(format, sizeof format, "%%#%d.%df", number_width, decimals);
    printed = std::snprintf(text, sizeof text, format, m);
    restart = Restart::kNone;

    // Fixed notation without decimals that still does not fit: use a mantissa instead.
    if (notation == Notation::kFixed && decimals == 0 && printed > number_width) {
      notation = Notation::kExponent;
      e = estimate;
      m = x / power_of_ten(e);
      restart = Restart::kLayout;
      continue;
    }

    // A 4-byte mantissa that rounded up to ten: redo with the next exponent.
    if (single && notation == Notation::kExponent && std::strstr(text, "10.") != nullptr) {
      ++e;
      m = x / power_of_ten(e);
      restart = Restart::kLayout;
      continue;
    }

    if (keep_zeros != 0) break;

    // Trailing zeros of the number part become leading spaces; one zero stays after the point.
    int32_t zeros = 0;
    int32_t at = number_width - 1;
    while (at >= 0 && text[at] == '0') {
      ++zeros;
      --at;
    }
    if (at >= 0 && text[at] == '.') --zeros;
    if (zeros > 0) {
      std::memmove(text + zeros, text, static_cast<size_t>(number_width - zeros));
      std::memset(text, ' ', static_cast<size_t>(zeros));
      break;
    }
    if (!single) break;

    // Single-precision noise in the last digit: print again with one decimal less.
    if (decimals > 1 && ends_in_noise(text + number_width - 3)) {
      --decimals;
      restart = Restart::kPrint;
      continue;
    }

    // A whole number ending in "00." is shown as a mantissa and exponent instead.
    if (decimals == 0 && number_width >= 3 && printed == number_width &&
        std::memcmp(text + number_width - 3, "00.", 3) == 0) {
      fixed_limit = -1;
      restart = Restart::kChooseNotation;
    }
  }

  // Finish the field: cut the number part at N and append the exponent text, if any.
  if (notation == Notation::kFixed) {
    text[number_width] = '\0';
  } else {
    write_exponent_text(text + number_width, sizeof text - static_cast<size_t>(number_width),
                        exponent_width, e);
  }
  std::memcpy(out, text, static_cast<size_t>(width) + 1);
  return true;
}

// The texts that need no computation: empty fields, zero, NaN and the infinities. Returns
// true when the field has been written, with the result in `*fits`.
bool write_special(double x, bool zero, int32_t width, char* out, bool* fits) {
  if (width < 0) {
    *fits = true;
    return true;
  }
  if (width > kMaxWidth) {
    *fits = write_stars(width, out);
    return true;
  }
  if (width == 0) {
    out[0] = '\0';
    *fits = true;
    return true;
  }
  if (zero) {
    *fits = write_right_aligned("0.0", width, out);
    return true;
  }
  if (std::isnan(x)) {
    *fits = write_right_aligned("NaN", width, out);
    return true;
  }
  if (std::isinf(x)) {
    *fits = write_right_aligned(x < 0.0 ? "-Inf" : "Inf", width, out);
    return true;
  }
  return false;
}

}  // namespace

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  const double wide = x;
  bool fits = true;
  if (write_special(wide, wide == 0.0, width, out, &fits)) return fits;
  return write_real(wide, true, width, out, keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  // Zero and every magnitude below the normal range share the zero text.
  const bool zero = std::fabs(x) <= kSmallestNormal;
  bool fits = true;
  if (write_special(x, zero, width, out, &fits)) return fits;
  return write_real(x, false, width, out, keep_zeros, significant_digits);
}

}  // namespace asciify::reference
