// Format codes, the first byte of every record in binary mode, and the packed (4-bit) form of
// field format bytes.
#pragma once

#include <cstdint>

namespace asciify {

constexpr uint8_t FC_LSF4 = 1;                   // line-specific format, packed nibbles
constexpr uint8_t FC_LSF8 = 2;                   // line-specific format, plain field format bytes
constexpr uint8_t FC_TEXT_LINE = 3;              // a line of text ending in a zero byte
constexpr uint8_t FC_RESET_FORMAT = 4;           // forget one cached format
constexpr uint8_t FC_FIRST_DEFAULT_LAYOUT = 10;  // 10-17: hard-wired layouts, default formats
constexpr uint8_t FC_FIRST_LONG_LAYOUT = 30;     // 30-37: hard-wired layouts, 'long' formats
constexpr uint8_t FC_FIRST_CACHED = 50;          // 50-255: cached formats

// Selector bytes of the 'long' hard-wired codes 30-37 (50-255 select a cached format).
constexpr uint8_t FSF4 = 1;
constexpr uint8_t FSF8 = 2;

// Which handler a format code goes to.
enum class record_kind { hardwired, line_specific, text_line, format_reset, cached_format };
record_kind record_kind_for_code(uint8_t code);

// Translates a nibble 1-15 of a packed format into its field format byte.
uint8_t translate_nibble(uint8_t nibble);

// The nibble that stands for a field format byte in a packed format; 0 when none does.
uint8_t nibble_of(uint8_t format);

}  // namespace asciify
