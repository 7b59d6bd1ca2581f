// The real-number text step by step on the library's own arithmetic and printing: the steps of
// text/real_text_stepwise.h over pow, log10 and snprintf, exactly as the algorithm reads. The
// fast routines of text/real_text.cpp run the same steps on tables and integer arithmetic,
// and take most values by their direct path, which shares only the layout with these steps.
// The tests and the fuzz target compare the two byte for byte; the benchmarks time them.
#pragma once

#include <cstdint>

namespace asciify::reference {

// Same contract as asciify::float_to_text and asciify::double_to_text.
bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits);
bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits);

}  // namespace asciify::reference
