// Fuzz target: the fast real-number text against the step-by-step reference on the library's
// pow, log10 and snprintf. The input is a header of four bytes (4- or 8-byte value, how the
// value is given, width -1 to 38, keep-zeros flag 0 to 3, significant digits 1 to 32) and the
// value: its bit pattern, or a power of ten and a number of units in the last place to move
// from it (reference::difference_for_fuzz_input, which the unit tests also replay). Every byte
// of the field, the guard bytes around it and the result must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/real_text_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string difference = asciify::reference::difference_for_fuzz_input(data, size);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
