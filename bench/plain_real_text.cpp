// The real-number text of the plain converter: the step-by-step routines that print with
// snprintf and call log10 and pow, in place of the fast ones.
#include "tests/support/real_text_reference.h"
#include "text/real_text.h"

namespace asciify {

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  return reference::float_to_text(x, width, out, keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  return reference::double_to_text(x, width, out, keep_zeros, significant_digits);
}

}  // namespace asciify
