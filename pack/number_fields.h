// Numeric fields checked against the converter's own field writers: a text becomes a number
// only when the writer renders the stored value to exactly that text.
#pragma once

#include <cstdint>

#include "pack/line_fields.h"

namespace asciify {

struct number_field {
  uint8_t format = 0;  // field format byte
  int32_t size = 0;    // 4 or 8 data bytes
  uint8_t data[8] = {};
};

// A number's text, -?[0-9]+(\.[0-9]*)?(E-?[0-9]+)?, and its value as decimal digits.
// (No member initializers: arrays of pieces that hold one are made for every line.)
struct number_text {
  int32_t start;
  int32_t end;   // one past the text; the start when nothing matched
  bool integer;  // digits only, with an optional sign
  bool negative;
  int32_t significant;  // digits without the leading zeros
  // The value is mantissa * 10^exponent when significant is at most 19.
  uint64_t mantissa;
  int32_t exponent;
};

// Matches the longest number text at text[at] (before `length`).
number_text match_number(const uint8_t* text, int32_t at, int32_t length);

// A field in fixed format: the `width` columns at `field`, leading spaces and then the number
// `shape` (found in the same text, ending at the field's end). Takes the narrowest type whose
// writer renders the field exactly: a 4-byte, else an 8-byte integer; the nearest 4-byte,
// else the nearest 8-byte real. False when none does.
bool fixed_number_field(const uint8_t* field, int32_t width, const number_text& shape,
                        const number_order& numbers, number_field* out);

// A token between the commas of a free-format line: " <integer>" (the writer's " %d"), or a
// real whose writer text, at width 31 (the free-format mark) or at the token's own width, is
// exactly the token. False when the token is no such number.
bool free_number_field(const uint8_t* token, int32_t length, const number_order& numbers,
                       number_field* out);

}  // namespace asciify
