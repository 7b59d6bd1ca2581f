// Fuzz target: the fast real-number text against the step-by-step reference on the library's
// pow, log10 and snprintf. The input is a header of four bytes (4- or 8-byte value, how the
// value is given, width -1 to 38, keep-zeros flag 0 to 3, significant digits 1 to 32) and the
// value: its bit pattern, or a power of ten and a number of units in the last place to move
// from it. Every byte of the field, the guard bytes around it and the result must agree.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/real_text_reference.h"

namespace {

// One call of both implementations.
struct real_text_case {
  bool single;
  int32_t width;
  int32_t keep_zeros;
  int32_t significant_digits;
  uint64_t bits;  // the low 4 bytes for a 4-byte value
};

// Where the exponent estimate changes, which random bits seldom reach: next to a power of ten
// 10^k (a byte or two), or next to the edges 10^k * (1 +- 1e-9) of the zone in which the fast
// estimate asks log10, moved by -128 to 127 units in the last place, either sign.
uint64_t near_power_of_ten(bool single, const uint8_t (&value)[8]) {
  const int k = single ? -45 + value[0] % 84 : -307 + (value[0] | value[1] << 8) % 616;
  const double edges[3] = {1.0, 1.0 + 1e-9, 1.0 - 1e-9};
  const double center = std::pow(10.0, k) * edges[value[3] % 3];
  const auto step = static_cast<int8_t>(value[2]);
  const uint64_t sign = (value[3] & 0x80) != 0 ? 1 : 0;
  if (single) {
    const auto near = static_cast<float>(center);
    uint32_t bits;
    std::memcpy(&bits, &near, sizeof bits);
    return (bits + static_cast<uint32_t>(step)) | static_cast<uint32_t>(sign << 31);
  }
  uint64_t bits;
  std::memcpy(&bits, &center, sizeof bits);
  return (bits + static_cast<uint64_t>(step)) | sign << 63;
}

real_text_case read_case(const uint8_t* data, size_t size) {
  uint8_t header[4] = {};
  std::memcpy(header, data, size < 4 ? size : 4);
  uint8_t value[8] = {};
  if (size > 4) std::memcpy(value, data + 4, size - 4 < 8 ? size - 4 : 8);
  real_text_case c{(header[0] & 1) == 0, header[1] % 40 - 1, header[2] % 4, 1 + header[3] % 32, 0};
  if ((header[0] & 2) != 0) {
    c.bits = near_power_of_ten(c.single, value);
  } else {
    std::memcpy(&c.bits, value, sizeof c.bits);
  }
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const real_text_case c = read_case(data, size);
  const std::string difference = asciify::reference::difference_from_fast(
      c.single, c.bits, c.width, c.keep_zeros, c.significant_digits);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
