// The quick paths of the numeric field writers, inline so that the line writer can take them
// without a call: byte-order reversal in registers and fixed integer fields of eight columns
// or more. They give exactly the text of the writers in text/field_writers.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "text/digit_text.h"

namespace asciify::field_text {

// The value with its bytes in the reverse order; the same as endian_swap on a copy.
inline int32_t reversed(int32_t value) {
  auto v = static_cast<uint32_t>(value);
  v = (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
  return static_cast<int32_t>(v);
}

inline int64_t reversed(int64_t value) {
  const auto v = static_cast<uint64_t>(value);
  const auto high = static_cast<uint32_t>(reversed(static_cast<int32_t>(v)));
  const auto low = static_cast<uint32_t>(reversed(static_cast<int32_t>(v >> 32)));
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

inline float reversed(float value) {
  int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = reversed(bits);
  std::memcpy(&value, &bits, sizeof bits);
  return value;
}

inline double reversed(double value) {
  int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = reversed(bits);
  std::memcpy(&value, &bits, sizeof bits);
  return value;
}

// Writes an integer right-aligned in a fixed field of `width` columns followed by a zero byte,
// when the field has at least 8 columns and the value needs fewer than 8 digits and sign
// (-10^7 < value < 10^8), and returns true; otherwise writes nothing and returns false.
template <typename Integer>
inline bool put_fixed_integer(Integer value, int32_t width, char* field) {
  if (!digit_text::kLittleEndian || width < 8 || value <= -10000000 || value >= 100000000) {
    return false;
  }
  uint64_t word = 0x3020202020202020ull;  // "       0": zero, common in appended fields
  if (value != 0) {
    const bool negative = value < 0;
    const auto magnitude = static_cast<uint32_t>(negative ? -value : value);
    word = digit_text::eight_digits(magnitude);
    const int32_t zeros = digit_text::leading_zero_digits(word);  // at least 1 when negative
    if (negative) {
      word = digit_text::replace_leading(word, zeros, '-');  // then the spaces before it
      word = digit_text::replace_leading(word, zeros - 1, ' ');
    } else {
      word = digit_text::replace_leading(word, zeros, ' ');
    }
  }
  if (width > 8) digit_text::fill_short(field, ' ', static_cast<size_t>(width - 8));
  std::memcpy(field + width - 8, &word, 8);
  field[width] = '\0';
  return true;
}

}  // namespace asciify::field_text
