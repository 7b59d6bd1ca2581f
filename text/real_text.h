// Fixed-width text of real numbers: fixed-point notation where the exponent allows and the
// text fits, otherwise a one-digit mantissa followed by "E" and the decimal exponent.
#pragma once

#include <cstdint>

namespace asciify {

// Each routine writes exactly width + 1 bytes at `out`: the field, right-aligned behind
// leading spaces, and a closing zero byte. keep_zeros 0 removes trailing zeros (and, for
// 4-byte values, the single-precision noise digits); significant_digits bounds the digits
// shown (8 for 4-byte reals, 15 for 8-byte reals).
// Returns false when no text fits the field and it was filled with '*' instead (never for
// width 0, which gives an empty field).
bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits);
bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits);

// 10^e as the GNU C library's pow(10.0, e) gives it, on every system (other libraries' pow
// often differs in the last place): the powers the routines above divide by.
double gnu_power_of_ten(int32_t e);

// The decimal exponent estimate of the routines above: log10(magnitude) + bias truncated
// toward zero, with log10 as the GNU C library computes it, on every system (other libraries'
// log10 rounds differently near powers of ten), for a normal positive magnitude.
int32_t gnu_exponent_estimate(double magnitude, double bias);

}  // namespace asciify
