// The step-by-step transcription of the real-number text algorithm, kept as the oracle that
// the fast routines of text/real_text.cpp are compared with, byte for byte. It prints with
// snprintf, estimates the exponent with log10 and computes powers of ten with pow, exactly as
// the algorithm reads; it is used only by the tests and the benchmarks.
#pragma once

#include <cstdint>

namespace asciify::reference {

// Same contract as asciify::float_to_text and asciify::double_to_text.
bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits);
bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits);

}  // namespace asciify::reference
