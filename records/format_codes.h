// Format codes and the packed (4-bit) format form shared by every record handler.
#pragma once

#include <cstdint>

#include "text/field_format.h"

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

// Translates a nibble 1-15 of a packed format into its field format byte.
uint8_t translate_nibble(uint8_t nibble);

}  // namespace asciify
