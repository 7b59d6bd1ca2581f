// Numeric fields checked against the converter's own field writers: a text becomes a number
// only when the writer renders the stored value to exactly that text.
#pragma once

#include <cstdint>

#include "pack/line_fields.h"

namespace binify {

struct number_field {
  uint8_t format = 0;  // field format byte
  int32_t size = 0;    // 4 or 8 data bytes
  uint8_t data[8] = {};
};

// The shape of a number's text: -?[0-9]+(\.[0-9]*)?(E-?[0-9]+)?
struct number_text {
  int32_t end = 0;          // one past the text; the start when nothing matched
  bool integer = false;     // digits only, with an optional sign
  int32_t significant = 0;  // digits without the leading zeros
};

// Matches the longest number text at text[at] (before `length`).
number_text match_number(const uint8_t* text, int32_t at, int32_t length);

// A field of `width` columns in fixed format: `spaces` leading spaces, then a number text
// (`integer` and `significant` as match_number found them). Takes the narrowest type whose
// writer renders the field exactly (4-byte integer, 8-byte integer; 4-byte real, 8-byte
// real). False when none does.
bool fixed_number_field(const uint8_t* field, int32_t width, int32_t spaces, bool integer,
                        int32_t significant, const number_order& numbers, number_field* out);

// A token between the commas of a free-format line: " <integer>" (the writer's " %d"), or a
// real whose writer text, at width 31 (the free-format mark) or at the token's own width, is
// exactly the token. False when the token is no such number.
bool free_number_field(const uint8_t* token, int32_t length, const number_order& numbers,
                       number_field* out);

}  // namespace binify
