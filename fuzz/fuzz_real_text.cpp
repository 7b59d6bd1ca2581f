// Fuzz target: the fast real-number text against the step-by-step reference on the library's
// pow, log10 and snprintf. The input is a header of four bytes (4- or 8-byte value, how the
// value is given, width -1 to 38, keep-zeros flag 0 to 3, significant digits 1 to 32) and the
// value: its bit pattern, or a power of ten and a number of units in the last place to move
// from it. Every byte of the field, the guard bytes around it and the result must agree.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/real_text_reference.h"

namespace {

// Where the exponent estimate changes, which random bits seldom reach: next to a power of ten
// 10^k (a byte or two), or next to the edges 10^k * (1 +- 1e-9) of the zone in which the fast
// estimate asks log10, moved by -128 to 127 units in the last place, either sign.
uint64_t near_power_of_ten(bool single, const uint8_t (&value)[8]) {
  const int k = single ? -45 + value[0] % 84 : -307 + (value[0] | value[1] << 8) % 616;
  const double edges[3] = {1.0, 1.0 + 1e-9, 1.0 - 1e-9};
  const double center = std::pow(10.0, k) * edges[value[3] % 3];
  const auto step = static_cast<int8_t>(value[2]);
  const bool negative = (value[3] & 0x80) != 0;
  if (single) {
    return (std::bit_cast<uint32_t>(static_cast<float>(center)) + static_cast<uint32_t>(step)) |
           (negative ? 0x80000000u : 0u);
  }
  return (std::bit_cast<uint64_t>(center) + static_cast<uint64_t>(step)) |
         (negative ? uint64_t{1} << 63 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t header[4] = {};
  std::memcpy(header, data, size < 4 ? size : 4);
  uint8_t value[8] = {};
  if (size > 4) std::memcpy(value, data + 4, size - 4 < 8 ? size - 4 : 8);
  const bool single = (header[0] & 1) == 0;
  uint64_t bits = 0;
  std::memcpy(&bits, value, sizeof bits);
  if ((header[0] & 2) != 0) bits = near_power_of_ten(single, value);
  const std::string difference = asciify::reference::difference_from_fast(
      single, bits, header[1] % 40 - 1, header[2] % 4, 1 + header[3] % 32);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
