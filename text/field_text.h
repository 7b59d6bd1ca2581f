// The quick paths of the numeric field writers, inline so that the line writer can take them
// without a call: byte-order reversal in registers (also used on the section header's probes
// and markers) and fixed integer fields of eight columns or more. They give exactly the text
// of the writers in text/field_writers.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "format/byte_order.h"
#include "text/digit_text.h"

namespace asciify::field_text {

using asciify::reversed;

// Writes an integer right-aligned in a fixed field of `width` columns followed by a zero byte,
// when the field has at least 8 columns and the value needs fewer than 8 digits and sign
// (-10^7 < value < 10^8), and returns true; otherwise writes nothing and returns false.
template <typename Integer>
[[gnu::always_inline]] inline bool put_fixed_integer(Integer value, int32_t width, char* field) {
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
