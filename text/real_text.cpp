#include "text/real_text.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "text/digit_text.h"
#include "text/real_text_stepwise.h"

namespace asciify {
namespace {

using real_text::choose_layout;
using real_text::choose_notation;
using real_text::kMaxWidth;
using real_text::kSmallestNormal;
using real_text::kTextSize;
using real_text::layout;
using real_text::notation;

// Two paths give the same text. The stepwise path (text/real_text_stepwise.h) follows the
// conversion one step after another. write_real_direct shares its layout (choose_layout) and
// takes the common cases without restarts, working on the rounded digits as an integer (see
// there); it leaves the rest to the stepwise path. Both run on the primitives of
// table_primitives, which compute, without the C library's pow, log10 and printf, the values
// that the GNU C library's give, so that the text is the same on every system:
// - Powers of ten come from a table filled once with integer arithmetic (round_power), with
//   the values of that library's pow(10.0, e), so every quotient and comparison is
//   bit-identical.
// - The truncated decimal logarithm is read off the table; only magnitudes within a relative
//   1e-9 of a power of ten, where the rounding of log10 decides, compute that library's log10
//   (library_log10_near_power).
// - The fixed-point text with P decimals is produced from the exact binary value with integer
//   arithmetic, correctly rounded with ties to even, which is what the C library's "%#N.Pf"
//   prints; cases outside the integer range use std::to_chars, which rounds the same way.

using u128 = unsigned __int128;
using s128 = __int128;

// Exponents covered by the table of powers of ten: every decimal exponent of a normal 8-byte
// value, one or two beyond after carries, and the -P-1 of the rounding test.
constexpr int32_t kLowestPower = -340;
constexpr int32_t kHighestPower = 340;
constexpr size_t kPowerCount = kHighestPower - kLowestPower + 1;

// What the library's log10 of a magnitude near 10^e needs (see library_log10_near_power).
struct near_power {
  double relative_error;  // (p - 10^e) / 10^e for the table's power p
  double log_x_high;      // log(x) for x = 10^e / 2^y (y as for p), as the sum of two doubles
  double log_x_low;
  double scaled_low;   // y * kLog10Of2Low, rounded
  double scaled_high;  // y * kLog10Of2High (exact)
};

struct power_table {
  double value[kPowerCount];
  // value * (1 + 1e-9) and value * (1 - 1e-9): the edges of the zone around each power of ten
  // in which the exponent estimate computes the logarithm.
  double just_above[kPowerCount];
  double just_below[kPowerCount];
  // 5 * 10^(-p-1), half a unit of the p-th decimal, for p = 0..kMaxWidth: the addend of the
  // rounding test, stored so that no multiplication precedes that addition (which a compiler
  // may fuse with it into one multiply-add that rounds once).
  double half_unit[kMaxWidth + 1];
  near_power near[kPowerCount];  // (only for normal powers)
};

constexpr double kLogarithmMargin = 1e-9;

// The constants of the library's log10: 1 / log(10), and log10(2) split into a short high part
// (whose products with an exponent are exact) and the rest.
constexpr double kInverseLn10 = 0x1.bcb7b1526e50ep-2;
constexpr double kLog10Of2High = 0x1.34413509f6000p-2;
constexpr double kLog10Of2Low = 0x1.9fef311f12b36p-42;

// log(10) and log(2) in fixed point, with 116 bits after the point.
constexpr s128 kLn10Fixed = (s128{0x24d763776aaa2b} << 64) | s128{0x05ba95b58ae0b4c3};
constexpr s128 kLn2Fixed = (s128{0xb17217f7d1cf7} << 64) | s128{0x9abc9e3b39803f2f};
constexpr double kFixedScale = 0x1p116;

// 10^e as mantissa * 2^exponent, mantissa in [2^127, 2^128), cut off after 128 bits; `exact`
// while nothing was cut off.
struct wide_power {
  u128 mantissa;
  int32_t exponent;
  bool exact;
};

// 10 * p: the top 128 bits of the 131- or 132-bit product.
wide_power times_ten(const wide_power& p) {
  const u128 low = static_cast<u128>(static_cast<uint64_t>(p.mantissa)) * 10;
  const u128 high = (p.mantissa >> 64) * 10 + (low >> 64);  // product: high * 2^64 + low % 2^64
  const int32_t shift = (high >> 67) != 0 ? 4 : 3;
  const auto low_bits = static_cast<uint64_t>(low);
  return {(high << (64 - shift)) | (low_bits >> shift), p.exponent + shift,
          p.exact && (low_bits & ((uint64_t{1} << shift) - 1)) == 0};
}

// p / 10, with the 3 or 4 bits that bring the quotient back to 128 (never exact: 10^-n has no
// finite binary form).
wide_power tenth(const wide_power& p) {
  const u128 quotient = p.mantissa / 10;
  const auto remainder = static_cast<uint32_t>(p.mantissa % 10);
  const int32_t shift = (quotient >> 124) != 0 ? 3 : 4;
  return {(quotient << shift) + (remainder << shift) / 10, p.exponent - shift, false};
}

// The double nearest to p (ties to even; 0 or infinity beyond the range), moved one unit up for
// the two exponents for which the GNU C library's pow(10.0, e) gives the next value up (10^23
// lies halfway between two doubles); for the others it is the nearest. Also gives its relative
// error, for a normal value.
double round_power(const wide_power& p, int32_t e, double* relative_error) {
  const int32_t top = p.exponent + 127;  // 2^top <= 10^e < 2^(top+1)
  if (top > 1023) return HUGE_VAL;
  const int32_t unit = std::max(top - 52, -1074);  // weight of the double's last bit
  const int32_t shift = unit - p.exponent;         // 75 for a normal value
  if (shift > 127) return 0.0;                     // 10^e < 2^-1075: e <= -324
  const u128 below = p.mantissa & ((u128{1} << shift) - 1);
  const u128 half = u128{1} << (shift - 1);
  const auto units = static_cast<uint64_t>(p.mantissa >> shift);
  const bool up = below > half || (below == half && (!p.exact || (units & 1) != 0));
  const uint64_t added = (up ? 1 : 0) + (e == 23 || e == 210 ? 1 : 0);
  if (top >= -1022) {
    const s128 difference = static_cast<s128>(u128{added} << shift) - static_cast<s128>(below);
    *relative_error = static_cast<double>(difference) / static_cast<double>(p.mantissa);
  }
  // unit + 1074 is the biased exponent less one, so that a carry out of 53 bits, and the
  // subnormal case (unit -1074), come out right.
  return std::bit_cast<double>((static_cast<uint64_t>(unit + 1074) << 52) + units + added);
}

// The logarithm's terms for the normal power p = 10^e (rounded, relative error given).
near_power make_near_power(int32_t e, double p, double relative_error) {
  const int32_t binary_exponent = static_cast<int32_t>(std::bit_cast<uint64_t>(p) >> 52) - 1023;
  const int32_t y = binary_exponent < 0 ? binary_exponent + 1 : binary_exponent;
  const s128 log_x = e * kLn10Fixed - y * kLn2Fixed;
  const double high = static_cast<double>(log_x) / kFixedScale;
  const auto rest = log_x - static_cast<s128>(high * kFixedScale);  // (exact)
  const double scaled_y = y;
  return {relative_error, high, static_cast<double>(rest) / kFixedScale, scaled_y * kLog10Of2Low,
          scaled_y * kLog10Of2High};
}

void fill_power(power_table& t, int32_t e, const wide_power& p) {
  const size_t i = static_cast<size_t>(e - kLowestPower);
  double relative_error = 0.0;
  t.value[i] = round_power(p, e, &relative_error);
  t.just_above[i] = t.value[i] * (1.0 + kLogarithmMargin);
  t.just_below[i] = t.value[i] * (1.0 - kLogarithmMargin);
  if (t.value[i] >= kSmallestNormal && t.value[i] <= DBL_MAX) {
    t.near[i] = make_near_power(e, t.value[i], relative_error);
  }
}

power_table make_power_table() {
  power_table t{};
  const wide_power one{u128{1} << 127, -127, true};
  wide_power p = one;
  for (int32_t e = 0; e <= kHighestPower; ++e, p = times_ten(p)) fill_power(t, e, p);
  p = one;
  for (int32_t e = 0; e >= kLowestPower; --e, p = tenth(p)) fill_power(t, e, p);
  for (int32_t d = 0; d <= kMaxWidth; ++d) {
    t.half_unit[d] = 5.0 * t.value[-d - 1 - kLowestPower];
  }
  return t;
}

// The table, filled on first use (also when a number is converted during static
// initialization).
[[gnu::always_inline]] inline const power_table& powers() {
  static const power_table table = make_power_table();
  return table;
}

// pow(10.0, e), exactly as the GNU C library computes it (beyond the table: 0 or infinity).
inline double power_of_ten(int32_t e) {
  if (e < kLowestPower || e > kHighestPower) return e < 0 ? 0.0 : HUGE_VAL;
  return powers().value[e - kLowestPower];
}

// v, a product, rounded to a double on its own: kept apart from the addition it goes into,
// which a compiler could otherwise fuse with it into one multiply-add that rounds once.
inline double rounded_apart(double v) {
  volatile double stored = v;
  return stored;
}

// log10(a) as the GNU C library computes it, for a normal a within a relative 1e-9 of 10^k.
// That library splits a into 2^y * x (x in [1, 2), or in [0.5, 1) when a < 1; y is that of the
// power) and returns (y * log10(2)low + log(x) / log(10)) + y * log10(2)high, each operation
// rounded to a double. Here log(x) = log(10^k / 2^y) + log(1 + r), r = a / 10^k - 1, from the
// table's first term, summed in twice the precision of a double and rounded once: the
// correctly rounded log(x), as that library's log gives it for all such x but one. (Checked
// against the library for every value within 20000 units in the last place of every power of
// ten, and for random values of each zone.)
[[gnu::noinline, gnu::cold]] double library_log10_near_power(double a, int32_t k) {
  const power_table& table = powers();
  const size_t i = static_cast<size_t>(k - kLowestPower);
  const near_power& n = table.near[i];
  // a - p is exact (a and p are within a factor 2). r leaves out the product of the two
  // terms, below 3e-25, and log(1 + r) = r - r^2 / 2 within 4e-28: neither changes a result.
  const double r = (a - table.value[i]) / table.value[i] + n.relative_error;
  const double log_1_plus_r = r - rounded_apart(r * r * 0.5);
  double log_x = n.log_x_high + (n.log_x_low + log_1_plus_r);
  // The one x (that of 10^197 less 197 units) whose log the library rounds up, not to nearest.
  if (std::bit_cast<uint64_t>(a) == 0x68D56785FBBDD495) log_x = std::nextafter(log_x, 1.0);
  return (n.scaled_low + rounded_apart(kInverseLn10 * log_x)) + n.scaled_high;
}

// Decimal exponent estimate: log10(a) plus `bias`, truncated toward zero, for a normal
// positive a, as computed with the GNU C library's log10.
//
// With k = floor(log10(a)) found by comparisons with the table, a magnitude that stays more
// than a relative 1e-9 away from 10^k and 10^(k+1) has k + 4.3e-10 < log10(a) < k + 1 - 4.3e-10
// (log10(1 + 1e-9) = 4.34e-10; the table's powers are within 2^-52 of the true ones). The
// library's log10 errs by a few units in the last place, under 1e-12 for every result below
// 400, and the bias is 0 or 1e-10, so the computed sum lies strictly between k and k + 1 as
// well, and its truncation is k, or k + 1 when k is negative (truncation toward zero). Nearer
// to a power of ten the rounding of log10 decides, so there it is computed.
[[gnu::always_inline]] inline int32_t exponent_estimate(double a, double bias) {
  const auto bits = std::bit_cast<uint64_t>(a);
  const auto binary_exponent = static_cast<int32_t>((bits >> 52) & 0x7FF) - 1023;
  // floor(binary_exponent * log10(2)): 10^k <= 2^b < 10^(k+1), so a lies below 2 * 10^(k+1).
  int32_t k = (binary_exponent * 78913) >> 18;
  const power_table& table = powers();
  k += static_cast<int32_t>(a >= table.value[k + 1 - kLowestPower]);  // without a branch
  const int32_t j = k - kLowestPower;
  if (a < table.just_above[j]) {
    return static_cast<int32_t>(library_log10_near_power(a, k) + bias);
  }
  if (a > table.just_below[j + 1]) {
    return static_cast<int32_t>(library_log10_near_power(a, k + 1) + bias);
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

// The primitives of the conversion steps (text/real_text_stepwise.h), on tables and integers.
struct table_primitives {
  static double power_of_ten(int32_t e) { return asciify::power_of_ten(e); }
  static double half_unit(int32_t decimals) { return powers().half_unit[decimals]; }
  [[gnu::always_inline]] static int32_t exponent_estimate(double magnitude, double bias) {
    return asciify::exponent_estimate(magnitude, bias);
  }
  static int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text) {
    return asciify::print_fixed(m, width, decimals, text);
  }
  static void write_exponent_text(char* at, int32_t width, int32_t e) {
    asciify::write_exponent_text(at, width, e);
  }
};

// v / 10^n for n in 0-19, each by a constant divisor (which compilers turn into a
// multiplication).
[[gnu::always_inline]] inline uint64_t divide_by_power_of_ten(uint64_t v, int32_t n) {
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

// The number part of a layout as an integer: the text of m with P decimals is the integer
// q = |m| * 10^P rounded (ties to even), shown with P digits after the point.
struct rounded_digits {
  uint64_t whole;     // q / 10^P: the integer digits
  uint64_t fraction;  // q mod 10^P: the decimals
  int32_t decimals;   // P
};

// The rounded digits of the layout, when they fit its number part (this also catches the
// fixed text without decimals that is too long) and a mantissa has one integer digit; false
// when they do not, or when they are beyond what 64-bit integers hold.
[[gnu::always_inline]] inline bool round_to_digits(const layout& l, bool negative,
                                                   rounded_digits& d) {
  uint64_t q = 0;
  if (!scaled_integer(l.m, l.decimals, &q)) return false;
  // The text has max(digits of q, decimals + 1) digits, the point and the sign. (decimals + 1
  // never exceeds the digit room when that is positive: decimals starts at N - 2 - sign and
  // only decreases or becomes 0.)
  const int32_t digit_room = l.number_width - 1 - (negative ? 1 : 0);
  if (digit_room < 1 || (digit_room < 20 && q >= kIntegerPowers[digit_room])) {
    return false;  // (q is below 2^63 < 10^20: 20 digits always fit)
  }
  if (l.form == notation::exponent && q >= kIntegerPowers[l.decimals + 1]) return false;
  d.whole = divide_by_power_of_ten(q, l.decimals);
  d.fraction = q - d.whole * kIntegerPowers[l.decimals];
  d.decimals = l.decimals;
  return true;
}

// The decimals as they are shown: how many trailing zeros become leading spaces. Where the
// field has room for whole words of digits, the decimals are handled as text in words (zeros
// counted from the bits); otherwise on the integer.
struct shown_decimals {
  bool in_words;
  fraction_words words;  // (in words) the decimals as text
  int32_t removed;       // trailing zeros that become spaces; one stays after the point
};

[[gnu::always_inline]] inline shown_decimals removable_zeros_of(const rounded_digits& d,
                                                                bool in_words) {
  if (!in_words) return {false, {}, trailing_zero_digits(d.fraction, d.decimals - 1)};
  const fraction_words words = fraction_text(d.fraction, d.decimals);
  return {true, words, removable_zeros(words, d.decimals)};
}

// The 4-byte noise retry on the digits of a text without trailing zeros. Noise in the last
// digit (the last three are 001-004 or 996-999, and P > 2, since with P = 2 the first of the
// three characters is the point): printing again with P - 1 decimals gives q / 10 or q / 10 + 1,
// without a tie, as |m| * 10^(P-1) lies within 0.05 of the next integer below or above. That
// result ends in "00", so its trailing zeros then always go. Returns false for what the
// stepwise path must take: a mantissa that reached ten, and a whole number ending in "00.".
[[gnu::always_inline]] inline bool drop_noise_digit(const layout& l, rounded_digits& d,
                                                    shown_decimals& shown) {
  const uint64_t last3 = d.fraction % 1000;
  if (d.decimals > 2 && ((last3 >= 1 && last3 <= 4) || last3 >= 996)) {
    --d.decimals;
    d.fraction /= 10;
    if (last3 >= 996 && ++d.fraction == kIntegerPowers[d.decimals]) {
      d.fraction = 0;
      ++d.whole;
    }
    if (l.form == notation::exponent && d.whole >= 10) return false;
    shown = removable_zeros_of(d, shown.in_words);
    return true;
  }
  return !(d.decimals == 0 && d.whole % 100 == 0 && d.whole != 0);
}

// Writes the number part in the first `number_width` bytes of `out`.
[[gnu::always_inline]] inline void place_digits(char* out, int32_t number_width, bool negative,
                                                const rounded_digits& d, shown_decimals shown) {
  const int32_t kept = d.decimals - shown.removed;
  if (shown.in_words) {
    // The words end at the end of the number part; their leading characters are covered by
    // the point, the integer digits and the spaces that place_whole stores afterwards.
    char* const end = out + number_width;
    shown.words = shift_towards_end(shown.words, shown.removed);
    if (kept > 0) std::memcpy(end - 8, &shown.words.tail, 8);
    if (kept > 8) std::memcpy(end - 16, &shown.words.head, 8);
    place_whole(out, end - kept - 1, negative, d.whole);
  } else {
    place_number(out, number_width, negative, d.whole,
                 divide_by_power_of_ten(d.fraction, shown.removed), kept);
  }
}

enum class direct_result { written, stars, not_handled };

// The common cases of the stepwise path, computed on the rounded digits as an integer instead
// of on printed text, with the same results: trailing zeros (the last c digits of q are zeros,
// c below P) become leading spaces, which is the text of q / 10^c with P - c decimals, and
// the noise retry works on q (drop_noise_digit). Everything that needs the restarts of the
// stepwise path is left to it (see round_to_digits and drop_noise_digit), and so is the
// keep-zeros flag.
template <bool single>
[[gnu::always_inline]] inline direct_result write_real_direct(double x, int32_t width, char* out,
                                                              int32_t significant_digits) {
  const bool negative = x < 0.0;
  const int32_t estimate = exponent_estimate(std::fabs(x), single ? 1e-10 : 0.0);
  layout l{};
  if (!choose_layout<table_primitives>(x, single, width, significant_digits,
                                       choose_notation(estimate, real_text::fixed_limit(x, width)),
                                       l)) {
    return direct_result::stars;
  }
  rounded_digits digits{};
  if (!round_to_digits(l, negative, digits)) return direct_result::not_handled;
  const bool in_words =
      digit_text::kLittleEndian && l.decimals <= 16 && l.number_width >= (l.decimals > 8 ? 16 : 8);
  shown_decimals shown = removable_zeros_of(digits, in_words);
  if (single && shown.removed == 0 && !drop_noise_digit(l, digits, shown)) {
    return direct_result::not_handled;
  }
  place_digits(out, l.number_width, negative, digits, shown);
  if (l.form == notation::fixed) {
    out[l.number_width] = '\0';
  } else {
    write_exponent_text(out + l.number_width, l.exponent_width, l.e);
  }
  return direct_result::written;
}

// The text of x (widened from a 4-byte value when `single`); `zero` selects the zero text.
// (One instance for each width of value, so that the rules of the other width cost nothing.)
template <bool single>
bool real_to_text(double x, bool zero, int32_t width, char* out, int32_t keep_zeros,
                  int32_t significant_digits) {
  if (keep_zeros == 0 && width >= 1 && width <= kMaxWidth && !zero && std::isfinite(x)) {
    switch (write_real_direct<single>(x, width, out, significant_digits)) {
      case direct_result::written:
        return true;
      case direct_result::stars:
        return real_text::write_stars(width, out);
      case direct_result::not_handled:
        break;
    }
  }
  return real_text::real_to_text_stepwise<table_primitives>(x, single, zero, width, out, keep_zeros,
                                                            significant_digits);
}

}  // namespace

double gnu_power_of_ten(int32_t e) {
  return power_of_ten(e);
}

int32_t gnu_exponent_estimate(double magnitude, double bias) {
  return exponent_estimate(magnitude, bias);
}

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  const double wide = x;
  return real_to_text<true>(wide, wide == 0.0, width, out, keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  // Zero and every magnitude below the normal range share the zero text.
  const bool zero = std::fabs(x) <= real_text::kSmallestNormal;
  return real_to_text<false>(x, zero, width, out, keep_zeros, significant_digits);
}

}  // namespace asciify
