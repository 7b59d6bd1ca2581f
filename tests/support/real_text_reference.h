// The real-number text step by step on the library's own arithmetic and printing: the steps of
// text/real_text_stepwise.h over pow, log10 and snprintf, exactly as the algorithm reads. The
// fast routines of text/real_text.cpp run the same steps on tables and integer arithmetic,
// and take most values by their direct path, which shares only the layout with these steps.
// The tests and the fuzz target compare the two byte for byte; the benchmarks time them.
#pragma once

#include <cstdint>
#include <string>

namespace asciify::reference {

// Same contract as asciify::float_to_text and asciify::double_to_text.
bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits);
bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits);

// Runs the fast routine and this one on the value whose bits are `bits` (a 4-byte real in the
// low four bytes when `single`), each into a field with the same guard bytes around it. "" when
// every byte and the result agree; otherwise both fields (a zero byte shown as '|') and results.
std::string difference_from_fast(bool single, uint64_t bits, int32_t width, int32_t keep_zeros,
                                 int32_t significant_digits);

}  // namespace asciify::reference
