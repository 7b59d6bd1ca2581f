// Byte order: numbers in a binary section are stored in the order of the machine that wrote
// them, and a reader of the other order reverses their bytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "asciify/byte_order.h"

namespace asciify {

// The value with its bytes in the reverse order: numbers written on a machine of the opposite
// byte order, and the zero-fill markers as such a file stores them.
[[gnu::always_inline]] inline uint32_t reversed(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

[[gnu::always_inline]] inline uint64_t reversed(uint64_t v) {
  const uint64_t high = reversed(static_cast<uint32_t>(v));
  const uint64_t low = reversed(static_cast<uint32_t>(v >> 32));
  return (high << 32) | low;
}

[[gnu::always_inline]] inline int32_t reversed(int32_t value) {
  return static_cast<int32_t>(reversed(static_cast<uint32_t>(value)));
}

[[gnu::always_inline]] inline int64_t reversed(int64_t value) {
  return static_cast<int64_t>(reversed(static_cast<uint64_t>(value)));
}

[[gnu::always_inline]] inline float reversed(float value) {
  int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = reversed(bits);
  std::memcpy(&value, &bits, sizeof bits);
  return value;
}

[[gnu::always_inline]] inline double reversed(double value) {
  int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = reversed(bits);
  std::memcpy(&value, &bits, sizeof bits);
  return value;
}

// The zero-fill markers: a numeric field whose bytes are the marker of its size ends the
// stored data of its record (it and every later field are zero). Values in this machine's
// byte order; a file of the other order holds them reversed.
constexpr uint32_t kZeroFillMarker4 = 0x80000000u;
constexpr uint64_t kZeroFillMarker8 = 0x8000000000000000u;

}  // namespace asciify
