// Format codes, field format bytes and the packed (4-bit) format form shared by every
// record handler and by the line writer.
#pragma once

#include <array>
#include <cstdint>

namespace asciify {

// Format codes: the first byte of every record in binary mode.
constexpr uint8_t FC_LSF4 = 1;           // line-specific format, packed nibbles
constexpr uint8_t FC_LSF8 = 2;           // line-specific format, plain field format bytes
constexpr uint8_t FC_TEXT_LINE = 3;      // a line of text ending in a zero byte
constexpr uint8_t FC_RESET_FORMAT = 4;   // forget one cached format
constexpr uint8_t FC_FIRST_CACHED = 50;  // 50-255: cached formats

// Selector bytes of the 'long' hard-wired codes 30-37 (50-255 select a cached format).
constexpr uint8_t FSF4 = 1;
constexpr uint8_t FSF8 = 2;

// Which handler a format code goes to.
enum class record_kind { hardwired, line_specific, text_line, format_reset, cached_format };
record_kind record_kind_for_code(uint8_t code);

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

// Translates a nibble 1-15 of a packed format into its field format byte.
uint8_t translate_nibble(uint8_t nibble);

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
