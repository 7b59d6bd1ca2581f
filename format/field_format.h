// Field format bytes: the type and width of each field of a line, and a line's format as a
// whole.
#pragma once

#include <array>
#include <cstdint>

#include "format/limits.h"

namespace asciify {

enum class field_type { int32, float32, int64, float64, string };

// One field format byte taken apart.
struct field_format {
  field_type type;
  int32_t width;          // 0-31 for numbers, 0-127 for strings
  int32_t size;           // bytes of a numeric field in record data (4 or 8); 0 for strings
  bool free_format_mark;  // numeric width 31, or the string byte 0xFF
  bool open_ended;        // the string bytes 0x80 and 0xDF
};

// Every field format byte taken apart once: records and lines consult it for every field.
extern const std::array<field_format, 256> kFieldFormats;

inline const field_format& decompose_field_format(uint8_t byte) {
  return kFieldFormats[byte];
}

// Bytes a numeric field occupies in record data (4 or 8); 0 for strings.
int32_t numeric_size(field_type type);

// A format held in memory: `count` field format bytes at `bytes`; count 0 is an empty slot.
struct format_entry {
  uint8_t count = 0;
  const uint8_t* bytes = nullptr;
  // When every field is a number in fixed columns (see summarize_format): the bytes of their
  // data and the columns of their text; otherwise -1. A line of such a format whose data hold
  // no zero-fill marker is checked without walking its fields.
  int16_t plain_size = -1;
  int16_t plain_width = -1;
};

// Sets the format's plain_size and plain_width from its field format bytes.
void summarize_format(format_entry& format);

}  // namespace asciify
