#include "text/real_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/digit_text.h"

namespace asciify {
namespace {

// Two paths give the same text. write_real_stepwise follows the conversion one step after
// another: exponent estimate, notation, layout, printing with a fixed number of decimals, and
// the clean-up of the printed text with its restarts. write_real_direct takes the common cases
// without restarts, working on the rounded digits as an integer (see there), and leaves the
// rest to the stepwise path. Both avoid the costly library calls of a literal transcription
// while computing the same values:
// - Powers of ten come from a table filled once with the very pow(10.0, e) calls that the
//   conversion makes, so every quotient and comparison is bit-identical.
// - The truncated decimal logarithm is read off the table; only magnitudes within a relative
//   1e-9 of a power of ten, where the library's rounding decides, still call log10 (see
//   exponent_estimate).
// - The fixed-point text with P decimals is produced from the exact binary value with integer
//   arithmetic, correctly rounded with ties to even, which is what the C library's "%#N.Pf"
//   prints; cases outside the integer range use std::to_chars, which rounds the same way.

// Widest field the callers pass; wider requests are filled with '*'.
constexpr int32_t kMaxWidth = 31;

// Room for the printed number part (a few characters longer than the field when rounding
// carries or no decimals are left), the exponent text and the zero byte.
constexpr int kTextSize = 96;

// Every magnitude up to the smallest normal 8-byte value is written as zero.
constexpr double kSmallestNormal = 2.2250738585072014e-308;

// Exponents covered by the table of powers of ten: every decimal exponent of a normal 8-byte
// value, one or two beyond after carries, and the -P-1 of the rounding test.
constexpr int32_t kLowestPower = -340;
constexpr int32_t kHighestPower = 340;

struct power_table {
  double value[kHighestPower - kLowestPower + 1];
  // value * (1 + 1e-9) and value * (1 - 1e-9): the edges of the zone around each power of ten
  // in which the exponent estimate asks the library's log10.
  double just_above[kHighestPower - kLowestPower + 1];
  double just_below[kHighestPower - kLowestPower + 1];
};

constexpr double kLogarithmMargin = 1e-9;

power_table make_power_table() {
  power_table t{};
  for (int32_t e = kLowestPower; e <= kHighestPower; ++e) {
    const size_t i = static_cast<size_t>(e - kLowestPower);
    t.value[i] = gnu_power_of_ten(e);
    t.just_above[i] = t.value[i] * (1.0 + kLogarithmMargin);
    t.just_below[i] = t.value[i] * (1.0 - kLogarithmMargin);
  }
  return t;
}

// The table, filled on first use (also when a number is converted during static
// initialization).
[[gnu::always_inline]] inline const power_table& powers() {
  static const power_table table = make_power_table();
  return table;
}

// pow(10.0, e), exactly as the library computes it.
inline double power_of_ten(int32_t e) {
  if (e < kLowestPower || e > kHighestPower) return std::pow(10.0, e);
  return powers().value[e - kLowestPower];
}

// Decimal exponent estimate: log10(a) plus `bias`, truncated toward zero, for a normal
// positive a.
//
// With k = floor(log10(a)) found by comparisons with the table, a magnitude that stays more
// than a relative 1e-9 away from 10^k and 10^(k+1) has k + 4.3e-10 < log10(a) < k + 1 - 4.3e-10
// (log10(1 + 1e-9) = 4.34e-10; the table's powers are within 2^-52 of the true ones). The
// library's log10 errs by a few units in the last place, under 1e-12 for every result below
// 400, and the bias is 0 or 1e-10, so the computed sum lies strictly between k and k + 1 as
// well, and its truncation is k, or k + 1 when k is negative (truncation toward zero). Nearer
// to a power of ten the library's rounding decides, so there log10 itself is called.
[[gnu::always_inline]] inline int32_t exponent_estimate(double a, double bias) {
  uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  const auto binary_exponent = static_cast<int32_t>((bits >> 52) & 0x7FF) - 1023;
  // floor(binary_exponent * log10(2)): 10^k <= 2^b < 10^(k+1), so a lies below 2 * 10^(k+1).
  int32_t k = (binary_exponent * 78913) >> 18;
  const power_table& table = powers();
  k += static_cast<int32_t>(a >= table.value[k + 1 - kLowestPower]);  // without a branch
  const int32_t j = k - kLowestPower;
  if (a < table.just_above[j] || a > table.just_below[j + 1]) {
    return static_cast<int32_t>(std::log10(a) + bias);
  }
  return k >= 0 ? k : k + 1;
}

// 10^p as an integer, for p up to 19.
constexpr uint64_t kIntegerPowers[20] = {1ull,
                                         10ull,
                                         100ull,
                                         1000ull,
                                         10000ull,
                                         100000ull,
                                         1000000ull,
                                         10000000ull,
                                         100000000ull,
                                         1000000000ull,
                                         10000000000ull,
                                         100000000000ull,
                                         1000000000000ull,
                                         10000000000000ull,
                                         100000000000000ull,
                                         1000000000000000ull,
                                         10000000000000000ull,
                                         100000000000000000ull,
                                         1000000000000000000ull,
                                         10000000000000000000ull};

// |m| * 10^p rounded to an integer, ties to even, computed exactly from the binary value
// m = M * 2^-s. Returns false when the value is outside what 128-bit arithmetic covers here
// (then the caller uses the library).
bool scaled_integer(double m, int32_t p, uint64_t* result) {
  if (p < 0 || p > 19) return false;
  uint64_t bits;
  std::memcpy(&bits, &m, sizeof bits);
  const auto biased = static_cast<int32_t>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return false;
  const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  const int32_t shift = 1075 - biased;  // m = mantissa * 2^-shift
  if (shift < 1 || shift > 127) return false;
  using u128 = unsigned __int128;
  const u128 product = static_cast<u128>(mantissa) * kIntegerPowers[p];
  const u128 truncated = product >> shift;
  if ((truncated >> 63) != 0) return false;  // keeps room for the rounding step
  // Round half to even: adding half a unit less one, plus the parity of the truncated
  // quotient, carries into the quotient exactly when the remainder is above half, or is half
  // and the quotient is odd.
  const u128 below_half = (static_cast<u128>(1) << (shift - 1)) - 1;
  const auto q = static_cast<uint64_t>((product + below_half + (truncated & 1)) >> shift);
  *result = q;
  return true;
}

// The text of m in fixed-point notation with `decimals` digits after the point, the point
// always present, right-aligned with spaces in `width` columns unless it is longer: the text
// of the "%#<width>.<decimals>f" conversion. Writes it and a zero byte at `text` (room for
// kTextSize bytes) and returns its length.
int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text) {
  char body[kTextSize];  // sign, digits and point, unpadded
  int32_t length = 0;
  uint64_t scaled = 0;
  if (scaled_integer(m, decimals, &scaled)) {
    char digits[24];
    char* const end = digits + sizeof digits;
    const char* first = digit_text::write_digits_backwards(scaled, decimals + 1, end);
    const auto count = static_cast<int32_t>(end - first);
    if (std::signbit(m)) body[length++] = '-';
    std::memcpy(body + length, first, static_cast<size_t>(count - decimals));
    length += count - decimals;
    body[length++] = '.';
    std::memcpy(body + length, end - decimals, static_cast<size_t>(decimals));
    length += decimals;
  } else {
    const std::to_chars_result r =
        std::to_chars(body, body + sizeof body - 2, m, std::chars_format::fixed, decimals);
    if (r.ec != std::errc{}) {
      // Beyond any width this code reaches; keep the output well-formed.
      body[0] = '*';
      length = 1;
    } else {
      length = static_cast<int32_t>(r.ptr - body);
      if (decimals == 0) body[length++] = '.';
    }
  }
  const int32_t padding = width > length ? width - length : 0;
  std::memset(text, ' ', static_cast<size_t>(padding));
  std::memcpy(text + padding, body, static_cast<size_t>(length));
  text[padding + length] = '\0';
  return padding + length;
}

enum class Notation { kFixed, kExponent };

// Where the next pass through the conversion starts over.
enum class Restart { kChooseNotation, kLayout, kPrint, kNone };

// Fills the field with '*': no text fits it.
[[gnu::noinline, gnu::cold]] bool write_stars(int32_t width, char* out) {
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

// Writes "E" and the exponent right-aligned in exactly width - 1 characters (the exponent
// always fits: exponent_text_width chose the width), and a zero byte.
void write_exponent_text(char* at, int32_t width, int32_t e) {
  at[0] = 'E';
  const uint32_t magnitude = e < 0 ? static_cast<uint32_t>(-e) : static_cast<uint32_t>(e);
  char* p = at + width;
  *p = '\0';
  uint32_t v = magnitude;
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (e < 0) *--p = '-';
  while (p > at + 1) *--p = ' ';
}

// Whether the last three characters of a number part are "00" and a digit below 5, or "99"
// and a digit above 5: the last digit is noise of single precision.
bool ends_in_noise(const char* last3) {
  return (last3[0] == '0' && last3[1] == '0' && last3[2] < '5') ||
         (last3[0] == '9' && last3[1] == '9' && last3[2] > '5');
}

// Whether the text contains "10." (a mantissa that rounded up to ten).
bool contains_ten_point(const char* text, int32_t length) {
  for (int32_t i = 0; i + 2 < length; ++i) {
    if (text[i] == '1' && text[i + 1] == '0' && text[i + 2] == '.') return true;
  }
  return false;
}

// Text of a finite, non-zero value with a usable logarithm, step by step as the conversion
// reads: notation, layout, printing, and the clean-up of the printed text with its restarts.
// `single` selects the rules for 4-byte values: the exponent estimate is raised by 1e-10, the
// mantissa is nudged up before printing so that halfway cases round away from zero, a mantissa
// that rounded up to ten is redone with the next exponent, and the noise digits of single
// precision are removed. Handles every case; write_real_direct handles the common ones faster.
[[gnu::noinline, gnu::cold]] bool write_real_stepwise(double x, bool single, int32_t width,
                                                      char* out, int32_t keep_zeros,
                                                      int32_t significant_digits) {
  const bool negative = x < 0.0;
  const int32_t sign_width = negative ? 1 : 0;

  // Decimal exponent estimate, truncated toward zero.
  const int32_t estimate = exponent_estimate(std::fabs(x), single ? 1e-10 : 0.0);
  int32_t e = estimate;

  // Largest exponent still written in fixed notation.
  int32_t fixed_limit = width >= 10 ? 7 : (negative ? 5 : 6);

  Notation notation = Notation::kFixed;
  int32_t exponent_width = 0;  // X: width of the exponent text, 0 in fixed notation
  int32_t number_width = 0;    // N: width of the number part
  int32_t decimals = 0;        // P: digits after the point
  double m = x;                // the number that is printed

  char text[kTextSize];
  int32_t printed = 0;  // length of the printed number part

  Restart restart = Restart::kChooseNotation;
  while (restart != Restart::kNone) {
    if (restart == Restart::kChooseNotation) {
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

      int32_t leading = 0;
      if (notation == Notation::kFixed) leading = std::fabs(m) < 1.0 ? e - 1 : e;

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

    printed = print_fixed(m, number_width, decimals, text);
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
    if (single && notation == Notation::kExponent && contains_ten_point(text, printed)) {
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
    write_exponent_text(text + number_width, exponent_width, e);
  }
  std::memcpy(out, text, static_cast<size_t>(width) + 1);
  return true;
}

// v / 10^n for n in 0-19, each by a constant divisor (which compilers turn into a
// multiplication).
inline uint64_t divide_by_power_of_ten(uint64_t v, int32_t n) {
  switch (n) {
    case 0:
      return v;
    case 1:
      return v / 10ull;
    case 2:
      return v / 100ull;
    case 3:
      return v / 1000ull;
    case 4:
      return v / 10000ull;
    case 5:
      return v / 100000ull;
    case 6:
      return v / 1000000ull;
    case 7:
      return v / 10000000ull;
    case 8:
      return v / 100000000ull;
    case 9:
      return v / 1000000000ull;
    case 10:
      return v / 10000000000ull;
    case 11:
      return v / 100000000000ull;
    case 12:
      return v / 1000000000000ull;
    case 13:
      return v / 10000000000000ull;
    case 14:
      return v / 100000000000000ull;
    case 15:
      return v / 1000000000000000ull;
    case 16:
      return v / 10000000000000000ull;
    case 17:
      return v / 100000000000000000ull;
    case 18:
      return v / 1000000000000000000ull;
    default:
      return v / 10000000000000000000ull;
  }
}

// Number of decimal zeros at the end of v, but at most `limit` (0 when limit is not positive).
int32_t trailing_zero_digits(uint64_t v, int32_t limit) {
  if (limit <= 0) return 0;
  if (v == 0) return limit;
  int32_t zeros = 0;
  while (v % 100000000 == 0) {
    v /= 100000000;
    zeros += 8;
  }
  if (v % 10000 == 0) {
    v /= 10000;
    zeros += 4;
  }
  if (v % 100 == 0) {
    v /= 100;
    zeros += 2;
  }
  if (v % 10 == 0) ++zeros;
  return zeros < limit ? zeros : limit;
}

// Writes the point at `point`, the digits of `whole` and the sign right before it, and spaces
// from `out` up to them.
[[gnu::always_inline]] inline void place_whole(char* out, char* point, bool negative,
                                               uint64_t whole) {
  *point = '.';
  char* first = point;  // first character of the number part
  if (whole < 1000) {
    // Most integer parts are short: up to three digits, from the table of pairs.
    if (whole < 10) {
      *--first = static_cast<char>('0' + whole);
    } else if (whole < 100) {
      first -= 2;
      std::memcpy(first, digit_text::kDigitPairs + 2 * whole, 2);
    } else {
      first -= 3;
      first[0] = static_cast<char>('0' + whole / 100);
      std::memcpy(first + 1, digit_text::kDigitPairs + 2 * (whole % 100), 2);
    }
  } else if (digit_text::kLittleEndian && whole < 100000000 && point - out >= 8) {
    uint64_t word = digit_text::eight_digits(static_cast<uint32_t>(whole));
    const int32_t zeros = digit_text::leading_zero_digits(word);
    word = digit_text::replace_leading(word, zeros, ' ');
    std::memcpy(point - 8, &word, 8);
    first = point - 8 + zeros;
  } else {
    first = digit_text::write_digits_backwards(whole, 1, point);
  }
  if (negative) *--first = '-';
  digit_text::fill_short(out, ' ', static_cast<size_t>(first - out));
}

// The decimals of a number (at most 16 digits) as text, right-aligned in 16 characters kept in
// two words: on a little-endian machine the memory images of the first and of the last eight.
struct fraction_words {
  uint64_t head;
  uint64_t tail;
};

constexpr uint64_t kEightZeros = 0x3030303030303030ull;

[[gnu::always_inline]] inline fraction_words fraction_text(uint64_t fraction, int32_t decimals) {
  if (decimals <= 8)
    return {kEightZeros, digit_text::eight_digits(static_cast<uint32_t>(fraction))};
  return {digit_text::eight_digits(static_cast<uint32_t>(fraction / 100000000)),
          digit_text::eight_digits(static_cast<uint32_t>(fraction % 100000000))};
}

// Number of '0' characters at the end of the 16 (the last character is the highest byte).
int32_t trailing_zero_characters(const fraction_words& words) {
  const uint64_t tail = words.tail - kEightZeros;
  if (tail != 0) return std::countl_zero(tail) / 8;
  const uint64_t head = words.head - kEightZeros;
  return head != 0 ? 8 + std::countl_zero(head) / 8 : 16;
}

// The zeros to remove: trailing zeros of the decimals, but one stays after the point.
int32_t removable_zeros(const fraction_words& words, int32_t decimals) {
  const int32_t zeros = std::min(trailing_zero_characters(words), decimals - 1);
  return zeros > 0 ? zeros : 0;
}

// The 16 characters moved `n` places (0-15) towards the end; the last n drop out.
fraction_words shift_towards_end(const fraction_words& words, int32_t n) {
  if (n == 0) return words;
  if (n < 8) {
    return {words.head << (8 * n), (words.tail << (8 * n)) | (words.head >> (64 - 8 * n))};
  }
  return {0, words.head << (8 * (n - 8))};
}

// Writes the number part into the first `width` bytes of `out`: the sign, the decimal digits
// of `whole`, the point and `decimals` digits of `fraction` (below 10^decimals), right-aligned
// behind spaces. The caller has made sure that it fits.
//
// Where the field has room, digits are stored as whole words of eight (eight_digits) ending
// at their place; the unwanted leading digits of a word are overwritten by what lies before
// it: the point, the integer digits and the spaces, which are stored last. Nothing is read
// back, and nothing is written outside the field.
void place_number(char* out, int32_t width, bool negative, uint64_t whole, uint64_t fraction,
                  int32_t decimals) {
  char* const end = out + width;
  char* const point = end - decimals - 1;
  if (digit_text::kLittleEndian && decimals <= 8 && width >= 8) {
    if (decimals > 0) {
      const uint64_t low = digit_text::eight_digits(static_cast<uint32_t>(fraction));
      std::memcpy(end - 8, &low, 8);
    }
  } else if (digit_text::kLittleEndian && decimals <= 16 && width >= 16) {
    // Here decimals > 8, so the word of the integer part, or the bytes before it, cover the
    // leading digits of the high word.
    const uint64_t high = digit_text::eight_digits(static_cast<uint32_t>(fraction / 100000000));
    const uint64_t low = digit_text::eight_digits(static_cast<uint32_t>(fraction % 100000000));
    std::memcpy(end - 16, &high, 8);
    std::memcpy(end - 8, &low, 8);
  } else {
    digit_text::write_fixed_digits_backwards(fraction, decimals, end);
  }
  place_whole(out, point, negative, whole);
}

enum class Direct { kWritten, kStars, kNotHandled };

// The common cases of write_real_stepwise, computed on the rounded digits as an integer
// instead of on printed text, with the same results. The printed text of m with P decimals is
// the integer q = |m| * 10^P rounded (ties to even), shown with P digits after the point.
// On that integer the clean-up steps read:
// - Trailing zeros: the last c digits of q are zeros, c below P (one zero stays after the
//   point); they become leading spaces, which is the text of q / 10^c with P - c decimals.
// - Noise retry (4-byte, no trailing zero): the last three digits are 001-004 or 996-999 and
//   P > 2 (with P = 2 the first of the three characters is the point). Printing again with P - 1
//   decimals gives q / 10 or q / 10 + 1, without a tie: |m| * 10^(P-1) lies within 0.05 of
//   the next integer below or above, the last digit being 1-4 or 6-9. That result ends in
//   "00", so the trailing-zero step then always applies.
// Everything that needs the restarts of the stepwise routine is left to it: a fixed text
// without decimals that is too long, a text longer than its number part, a mantissa that
// rounded up to ten, a whole number ending in "00." (4-byte), digits beyond 64-bit integers,
// and the keep-zeros flag.
template <bool single>
[[gnu::always_inline]] inline Direct write_real_direct(double x, int32_t width, char* out,
                                                       int32_t significant_digits) {
  const bool negative = x < 0.0;
  const int32_t sign_width = negative ? 1 : 0;
  const int32_t estimate = exponent_estimate(std::fabs(x), single ? 1e-10 : 0.0);
  int32_t e = estimate;
  const int32_t fixed_limit = width >= 10 ? 7 : (negative ? 5 : 6);

  const bool fixed = e <= fixed_limit && e >= 0;
  int32_t exponent_width = 0;
  int32_t number_width = width;
  int32_t decimals = width - 2 - sign_width;
  double m = x;
  if (!fixed) {
    if (e < 0) --e;
    m = x / power_of_ten(e);
    for (;;) {
      exponent_width = exponent_text_width(e);
      number_width = width - exponent_width;
      decimals = number_width - 2 - sign_width;
      if (decimals < 0) return Direct::kStars;
      if (std::fabs(m) + 5.0 * power_of_ten(-decimals - 1) < 10.0) break;
      m = m / 10.0;
      ++e;
    }
  }
  if (single) m = m * 1.0000000001;

  int32_t leading = 0;
  if (fixed) leading = std::fabs(m) < 1.0 ? e - 1 : e;
  if (decimals > significant_digits - 1 - leading) decimals = significant_digits - 1 - leading;
  if (fixed) {
    const int32_t room = width - leading - 2 - sign_width;
    if (decimals > room) decimals = room;
    if (decimals < 0) decimals = 0;
  }

  uint64_t q = 0;
  if (!scaled_integer(m, decimals, &q)) return Direct::kNotHandled;
  // The text has max(digits of q, decimals + 1) digits, the point and the sign; it must fit
  // the number part (this also catches the fixed text without decimals that is too long), and
  // a mantissa must have one integer digit. (decimals + 1 never exceeds the digit room when
  // that is positive: decimals starts at N - 2 - sign and only decreases or becomes 0.)
  const int32_t digit_room = number_width - 1 - sign_width;
  if (digit_room < 1 || (digit_room < 20 && q >= kIntegerPowers[digit_room])) {
    return Direct::kNotHandled;  // (q is below 2^63 < 10^20: 20 digits always fit)
  }
  if (!fixed && q >= kIntegerPowers[decimals + 1]) return Direct::kNotHandled;

  uint64_t whole = divide_by_power_of_ten(q, decimals);
  uint64_t fraction = q - whole * kIntegerPowers[decimals];

  // Where the field has room for whole words of digits, the decimals are handled as text in
  // words (zeros counted from the bits); otherwise on the integer.
  const bool in_words =
      digit_text::kLittleEndian && decimals <= 16 && number_width >= (decimals > 8 ? 16 : 8);
  fraction_words words{};
  int32_t removed = 0;
  if (in_words) {
    words = fraction_text(fraction, decimals);
    removed = removable_zeros(words, decimals);
  } else {
    removed = trailing_zero_digits(fraction, decimals - 1);
  }

  if (removed == 0 && single) {
    const uint64_t last3 = fraction % 1000;
    if (decimals > 2 && ((last3 >= 1 && last3 <= 4) || last3 >= 996)) {
      // Noise in the last digit: one decimal less, then its trailing zeros.
      --decimals;
      fraction /= 10;
      if (last3 >= 996 && ++fraction == kIntegerPowers[decimals]) {
        fraction = 0;
        ++whole;
      }
      if (!fixed && whole >= 10) return Direct::kNotHandled;
      if (in_words) {
        words = fraction_text(fraction, decimals);
        removed = removable_zeros(words, decimals);
      } else {
        removed = trailing_zero_digits(fraction, decimals - 1);
      }
    } else if (decimals == 0 && whole % 100 == 0 && whole != 0) {
      return Direct::kNotHandled;  // a whole number ending in "00."
    }
  }

  const int32_t shown = decimals - removed;
  if (in_words) {
    // The words end at the end of the number part; their leading characters are covered by
    // the point, the integer digits and the spaces that place_whole stores afterwards.
    char* const end = out + number_width;
    words = shift_towards_end(words, removed);
    if (shown > 0) std::memcpy(end - 8, &words.tail, 8);
    if (shown > 8) std::memcpy(end - 16, &words.head, 8);
    place_whole(out, end - shown - 1, negative, whole);
  } else {
    place_number(out, number_width, negative, whole, divide_by_power_of_ten(fraction, removed),
                 shown);
  }
  if (fixed) {
    out[number_width] = '\0';
  } else {
    write_exponent_text(out + number_width, exponent_width, e);
  }
  return Direct::kWritten;
}

// The texts that need no computation: empty fields, zero, NaN and the infinities. Returns
// true when the field has been written, with the result in `*fits`.
[[gnu::noinline, gnu::cold]] bool write_special(double x, bool zero, int32_t width, char* out,
                                                bool* fits) {
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

namespace {

// The text of x (widened from a 4-byte value when `single`); `zero` selects the zero text.
// (One instance for each width of value, so that the rules of the other width cost nothing.)
template <bool single>
bool real_to_text(double x, bool zero, int32_t width, char* out, int32_t keep_zeros,
                  int32_t significant_digits) {
  if (keep_zeros == 0 && width >= 1 && width <= kMaxWidth && !zero && std::isfinite(x)) {
    switch (write_real_direct<single>(x, width, out, significant_digits)) {
      case Direct::kWritten:
        return true;
      case Direct::kStars:
        return write_stars(width, out);
      case Direct::kNotHandled:
        break;
    }
  }
  bool fits = true;
  if (write_special(x, zero, width, out, &fits)) return fits;
  return write_real_stepwise(x, single, width, out, keep_zeros, significant_digits);
}

}  // namespace

// The correctly rounded power, as strtod reads "1e<e>", except for the two exponents of the
// table's range for which that pow gives the next value up (10^23 lies halfway between two
// doubles); for the others of its range they are the same. Outside the range: pow itself
// (zero or infinity).
double gnu_power_of_ten(int32_t e) {
  if (e < kLowestPower || e > kHighestPower) return std::pow(10.0, e);
  char text[16];
  std::snprintf(text, sizeof text, "1e%d", static_cast<int>(e));
  const double value = std::strtod(text, nullptr);
  return e == 23 || e == 210 ? std::nextafter(value, HUGE_VAL) : value;
}

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  const double wide = x;
  return real_to_text<true>(wide, wide == 0.0, width, out, keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  // Zero and every magnitude below the normal range share the zero text.
  const bool zero = std::fabs(x) <= kSmallestNormal;
  return real_to_text<false>(x, zero, width, out, keep_zeros, significant_digits);
}

}  // namespace asciify
