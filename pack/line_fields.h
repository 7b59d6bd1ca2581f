// The fields of one text line as a binary record carries them: field format bytes and record
// data that the converter's line writer renders back to exactly the line's bytes.
#pragma once

#include <cstdint>

#include "format/byte_order.h"
#include "format/limits.h"

namespace asciify {

struct line_fields {
  int32_t count = 0;
  bool free_format = false;
  uint8_t formats[kMaxRecordLine];
  // Record data: numbers in the file's byte order, strings as their characters followed by a
  // zero byte where they end early. Never more than a record holds.
  int32_t data_size = 0;
  uint8_t data[kMaxRecordSize];
};

// How numbers are stored and checked: the file's byte order, and whether that is the reverse
// of this machine's (then the field writers swap, as in the converter).
struct number_order {
  byte_order order = byte_order::little;
  int32_t swap_needed = 0;
};
number_order make_number_order(byte_order order);

// Splits a line into fields whose rendering by the converter's field writers gives exactly
// `text` (no end-of-line byte, at most kMaxRecordLine bytes, no zero byte). Numbers become
// numeric fields only where the writer renders them to exactly their characters, and never
// where the text needs more than the strict format (values written as '*', NaN, infinities);
// the rest becomes strings. Fixed columns are tried and, for a line with commas, free format
// too; the result with less data is kept. Returns false when no record can carry the line
// (its data would not fit a record).
bool split_fields(const uint8_t* text, int32_t length, const number_order& numbers,
                  line_fields* out);

// Data bytes of the field with format byte `format` at `data` (a string ends at its zero byte
// or after its width; a number has 4 or 8 bytes).
int32_t field_data_size(uint8_t format, const uint8_t* data);

}  // namespace asciify
