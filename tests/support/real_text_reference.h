// The real-number text step by step on the library's own arithmetic and printing: the steps of
// text/real_text_stepwise.h over pow, log10 and snprintf, exactly as the algorithm reads: the
// GNU C library's pow and log10, whose results the texts follow (on other systems they come
// from strtod and from data measured with that library). The fast routines of text/real_text.cpp
// run the same steps on tables and integer arithmetic, and take most values by their direct path,
// which shares only the layout with these steps. The tests and the fuzz target compare the two byte
// for byte; the benchmarks time them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace asciify::reference {

// Same contract as asciify::float_to_text and asciify::double_to_text.
bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits);
bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits);

// The primitives this reference runs on, as the GNU C library gives them: pow(10.0, e), and
// log10(magnitude) + bias truncated toward zero. Where that library is not there, they come
// from strtod and from the steps below.
double library_power_of_ten(int32_t e);
int32_t library_exponent_estimate(double magnitude, double bias);

// That library's log10(magnitude) truncated, from data measured with it: near each power of
// ten, the magnitude from which on it gives the next integer; elsewhere any log10 gives it.
int32_t truncated_log10_from_steps(double magnitude);

// Runs the fast routine and this one on the value whose bits are `bits` (a 4-byte real in the
// low four bytes when `single`), each into a field with the same guard bytes around it. "" when
// every byte and the result agree; otherwise both fields (a zero byte shown as '|') and results.
std::string difference_from_fast(bool single, uint64_t bits, int32_t width, int32_t keep_zeros,
                                 int32_t significant_digits);

// difference_from_fast for one input of the fuzz target: a header of four bytes (4- or 8-byte
// value, how the value is given, width -1 to 38, keep-zeros flag 0 to 3, significant digits 1
// to 32) and up to eight bytes of the value: its bit pattern, or a power of ten and a number of
// units in the last place to move from it (see fuzz/fuzz_real_text.cpp).
std::string difference_for_fuzz_input(const uint8_t* data, size_t size);

}  // namespace asciify::reference
