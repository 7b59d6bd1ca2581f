// The text of a real number step by step, as the conversion reads: exponent estimate,
// notation, layout, printing with a fixed number of decimals, and the clean-up of the printed
// text with its restarts. The steps are written once, over five primitives that a type
// `Primitives` supplies as static functions:
//
//   double power_of_ten(int32_t e);                       // pow(10.0, e)
//   double half_unit(int32_t decimals);                   // 5.0 * pow(10.0, -decimals - 1),
//                                                         // rounded before any addition
//   int32_t exponent_estimate(double magnitude, double bias);
//                                                         // log10(magnitude) + bias, truncated
//   int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text);
//                                                         // "%#<width>.<decimals>f" into text
//                                                         // (kTextSize bytes), its length
//   void write_exponent_text(char* at, int32_t width, int32_t e);
//                                                         // "E" and e in width - 1 characters
//
// text/real_text.cpp builds them on tables and integer arithmetic; the test reference builds
// them on the library's pow, log10 and snprintf, so that the two can be compared.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace asciify::real_text {

// Widest field the callers pass; wider requests are filled with '*'.
constexpr int32_t kMaxWidth = 31;

// Room for the printed number part (a few characters longer than the field when rounding
// carries or no decimals are left), the exponent text and the zero byte.
constexpr int kTextSize = 96;

// Every magnitude up to the smallest normal 8-byte value is written as zero.
constexpr double kSmallestNormal = 2.2250738585072014e-308;

enum class notation { fixed, exponent };

// Where a layout starts: its notation and decimal exponent.
struct layout_start {
  notation form;
  int32_t e;
};

// How the number is laid out in its field.
struct layout {
  notation form;
  int32_t e;               // decimal exponent
  int32_t exponent_width;  // X: width of the exponent text, 0 in fixed notation
  int32_t number_width;    // N: width of the number part
  int32_t decimals;        // P: digits after the point
  double m;                // the number that is printed: x, or the mantissa
};

// Fills the field with '*': no text fits it.
[[gnu::noinline, gnu::cold]] inline bool write_stars(int32_t width, char* out) {
  std::memset(out, '*', static_cast<size_t>(width));
  out[width] = '\0';
  return false;
}

// Right-aligns `text` in the field, or fills the field with '*' when it is too long.
inline bool write_right_aligned(const char* text, int32_t width, char* out) {
  const auto length = static_cast<int32_t>(std::strlen(text));
  if (length > width) return write_stars(width, out);
  std::memset(out, ' ', static_cast<size_t>(width - length));
  std::memcpy(out + width - length, text, static_cast<size_t>(length) + 1);
  return true;
}

// The texts that need no computation: empty fields, zero, NaN and the infinities. Gives
// whether the text fits, or nothing when the value needs the conversion.
[[gnu::noinline, gnu::cold]] inline std::optional<bool> write_special(double x, bool zero,
                                                                      int32_t width, char* out) {
  if (width < 0) return true;
  if (width > kMaxWidth) return write_stars(width, out);
  if (width == 0) {
    out[0] = '\0';
    return true;
  }
  if (zero) return write_right_aligned("0.0", width, out);
  if (std::isnan(x)) return write_right_aligned("NaN", width, out);
  if (std::isinf(x)) return write_right_aligned(x < 0.0 ? "-Inf" : "Inf", width, out);
  return std::nullopt;
}

// Width of the exponent text "E<e>" for the exponent e.
inline int32_t exponent_text_width(int32_t e) {
  if (e >= 100) return 4;
  if (e >= 10) return 3;
  if (e >= 0) return 2;
  if (e >= -9) return 3;
  if (e >= -99) return 4;
  return 5;
}

// Largest exponent still written in fixed notation.
inline int32_t fixed_limit(double x, int32_t width) {
  return width >= 10 ? 7 : (x < 0.0 ? 5 : 6);
}

// Fixed notation while the exponent lies in 0..limit; otherwise a one-digit mantissa, a
// negative exponent lowered by one so that the mantissa gets an integer digit.
inline layout_start choose_notation(int32_t e, int32_t limit) {
  if (e > limit || e < 0) return {notation::exponent, e < 0 ? e - 1 : e};
  return {notation::fixed, e};
}

// The layout from a notation and exponent: exponent text, number part, and the decimals that
// fit after one digit, the point and the sign, no more than the significant digits allow; a
// mantissa that would round up to ten moves to the next exponent. `single` nudges the number
// of a 4-byte value up, so that halfway cases round away from zero. Returns false when a
// mantissa has no room. (The layout is filled in place, which keeps it in registers.)
template <typename Primitives>
[[gnu::always_inline]] inline bool choose_layout(double x, bool single, int32_t width,
                                                 int32_t significant_digits, layout_start start,
                                                 layout& l) {
  const int32_t sign_width = x < 0.0 ? 1 : 0;
  l = layout{start.form, start.e, 0, width, width - 2 - sign_width, x};
  if (start.form == notation::exponent) {
    l.m = x / Primitives::power_of_ten(l.e);
    for (;;) {
      l.exponent_width = exponent_text_width(l.e);
      l.number_width = width - l.exponent_width;
      l.decimals = l.number_width - 2 - sign_width;
      if (l.decimals < 0) return false;
      if (std::fabs(l.m) + Primitives::half_unit(l.decimals) < 10.0) break;
      l.m = l.m / 10.0;
      ++l.e;
    }
  }
  if (single) l.m = l.m * 1.0000000001;

  // Position of the leading digit: 0 for a mantissa, integer digits - 1 in fixed notation.
  int32_t leading = 0;
  if (l.form == notation::fixed) leading = std::fabs(l.m) < 1.0 ? l.e - 1 : l.e;
  if (l.decimals > significant_digits - 1 - leading) l.decimals = significant_digits - 1 - leading;
  if (l.form == notation::fixed) {
    const int32_t room = width - leading - 2 - sign_width;
    if (l.decimals > room) l.decimals = room;
    if (l.decimals < 0) l.decimals = 0;
  }
  return true;
}

// Whether the last three characters of a number part are "00" and a digit below 5, or "99"
// and a digit above 5: the last digit is noise of single precision.
inline bool ends_in_noise(const char* last3) {
  return (last3[0] == '0' && last3[1] == '0' && last3[2] < '5') ||
         (last3[0] == '9' && last3[1] == '9' && last3[2] > '5');
}

// Whether the text contains "10." (a mantissa that rounded up to ten).
inline bool contains_ten_point(const char* text, int32_t length) {
  for (int32_t i = 0; i + 2 < length; ++i) {
    if (text[i] == '1' && text[i + 1] == '0' && text[i + 2] == '.') return true;
  }
  return false;
}

// Turns the trailing zeros of the number part into leading spaces, keeping one zero after the
// point. Returns whether there were any.
inline bool trailing_zeros_to_spaces(char* text, int32_t number_width) {
  int32_t zeros = 0;
  int32_t at = number_width - 1;
  while (at >= 0 && text[at] == '0') {
    ++zeros;
    --at;
  }
  if (at >= 0 && text[at] == '.') --zeros;
  if (zeros <= 0) return false;
  std::memmove(text + zeros, text, static_cast<size_t>(number_width - zeros));
  std::memset(text, ' ', static_cast<size_t>(zeros));
  return true;
}

// Prints the number part of `l` into `text` and cleans it up (trailing zeros; for a 4-byte
// value a noise digit, printed again with one decimal less). Gives where the conversion
// starts over, or nothing when the number part is final.
template <typename Primitives>
std::optional<layout_start> print_number_part(bool single, int32_t keep_zeros, layout& l,
                                              char* text) {
  for (;;) {
    const int32_t printed = Primitives::print_fixed(l.m, l.number_width, l.decimals, text);
    // Fixed notation without decimals that still does not fit: a mantissa instead, with the
    // exponent as estimated (which fixed notation keeps).
    if (l.form == notation::fixed && l.decimals == 0 && printed > l.number_width) {
      return layout_start{notation::exponent, l.e};
    }
    // A 4-byte mantissa that rounded up to ten: the next exponent.
    if (single && l.form == notation::exponent && contains_ten_point(text, printed)) {
      return layout_start{notation::exponent, l.e + 1};
    }
    if (keep_zeros != 0 || trailing_zeros_to_spaces(text, l.number_width) || !single) {
      return std::nullopt;
    }
    if (l.decimals > 1 && ends_in_noise(text + l.number_width - 3)) {
      --l.decimals;
      continue;
    }
    // A whole number ending in "00." is shown as a mantissa and exponent instead.
    if (l.decimals == 0 && l.number_width >= 3 && printed == l.number_width &&
        std::memcmp(text + l.number_width - 3, "00.", 3) == 0) {
      return choose_notation(l.e, -1);
    }
    return std::nullopt;
  }
}

// Text of a finite, non-zero value with a usable logarithm. `single` selects the rules for
// 4-byte values: the exponent estimate is raised by 1e-10, the number is nudged up before
// printing, a mantissa that rounded up to ten is redone with the next exponent, and the noise
// digits of single precision are removed.
template <typename Primitives>
[[gnu::noinline, gnu::cold]] bool write_real_stepwise(double x, bool single, int32_t width,
                                                      char* out, int32_t keep_zeros,
                                                      int32_t significant_digits) {
  const int32_t estimate = Primitives::exponent_estimate(std::fabs(x), single ? 1e-10 : 0.0);
  layout_start start = choose_notation(estimate, fixed_limit(x, width));
  char text[kTextSize];
  layout l{};
  for (;;) {
    if (!choose_layout<Primitives>(x, single, width, significant_digits, start, l)) {
      return write_stars(width, out);
    }
    const std::optional<layout_start> again =
        print_number_part<Primitives>(single, keep_zeros, l, text);
    if (!again) break;
    start = *again;
  }
  // The number part ends at N; the exponent text, if any, follows it.
  if (l.form == notation::fixed) {
    text[l.number_width] = '\0';
  } else {
    Primitives::write_exponent_text(text + l.number_width, l.exponent_width, l.e);
  }
  std::memcpy(out, text, static_cast<size_t>(width) + 1);
  return true;
}

// The field of x (widened from a 4-byte value when `single`) step by step; `zero` selects the
// zero text.
template <typename Primitives>
bool real_to_text_stepwise(double x, bool single, bool zero, int32_t width, char* out,
                           int32_t keep_zeros, int32_t significant_digits) {
  if (const std::optional<bool> fits = write_special(x, zero, width, out)) return *fits;
  return write_real_stepwise<Primitives>(x, single, width, out, keep_zeros, significant_digits);
}

}  // namespace asciify::real_text
