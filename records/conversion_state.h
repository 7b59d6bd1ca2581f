// The state that lives for one conversion run and is shared by the marker check, the record
// handlers and the line writer: cached formats, scratch formats, zero-fill markers and the
// byte-order flag. Each run owns one; nothing here is global, so runs are independent.
#pragma once

#include <cstdint>

#include "records/format_codes.h"
#include "text/line_writer.h"

namespace asciify {

constexpr int32_t kHardwiredFormatSize = 20;         // field format bytes of a hard-wired line
constexpr int32_t kWindowSize = 1024;                // bytes of input held at once
constexpr int32_t kLsfBufferSize = 2 * kWindowSize;  // two packed codes per window byte
// Room for any hard-wired record: ten fields, strings up to 127 characters or open-ended
// (an open-ended string is bounded by the window).
constexpr int32_t kStagingBufferSize = 10 * kWindowSize;

struct conversion_state {
  // Cached formats by format code; a slot is defined when its count is non-zero. Each slot's
  // bytes live in its own row of format_storage.
  format_entry format_table[256];
  uint8_t format_storage[256][kMaxFormatFields];

  // Scratch format of the hard-wired layouts, rewritten by every hard-wired record.
  format_entry hardwired_format{0, hardwired_storage};
  uint8_t hardwired_storage[kHardwiredFormatSize] = {};

  // Counts the changes of the format table, so that what is derived from it can be kept until
  // the next one.
  uint32_t format_generation = 0;
  // The line format of the last 'long' hard-wired record whose format came from a cached code,
  // kept for the next record of the same code and selector (code 0: nothing kept).
  struct {
    uint8_t code = 0;
    uint8_t selector = 0;
    uint32_t generation = 0;
    uint8_t source_bytes[kHardwiredFormatSize] = {};
    uint8_t line_bytes[kHardwiredFormatSize] = {};
    format_entry line_format{};
  } long_line;

  // Unpacked field format bytes of the current FC_LSF4 record.
  uint8_t lsf_buffer[kLsfBufferSize] = {};

  // Zero-fill markers as they stand in the file's byte order. Until a header says otherwise
  // they hold this machine's byte order.
  uint32_t zero_fill_marker_4 = 0x80000000u;
  uint64_t zero_fill_marker_8 = 0x8000000000000000u;

  // 1 when the numbers of the current binary section have the reverse byte order.
  int32_t swap_needed = 0;

  // Zero fill within one hard-wired record: 0 none, 1 marker just met, 2 filling.
  int32_t zero_fill_state = 0;

  // Working area of the hard-wired handler.
  uint8_t staging_buffer[kStagingBufferSize];
};

// Empties every slot of the format table.
void clear_format_table(conversion_state& state);

// Defines slot `code` with `count` field format bytes copied from `bytes`.
void define_format(conversion_state& state, uint8_t code, const uint8_t* bytes, uint8_t count);

inline bool is_zero_fill_marker(const conversion_state& state, const uint8_t* bytes, int32_t size) {
  return matches_zero_fill_marker(state.zero_fill_marker_4, state.zero_fill_marker_8, bytes, size);
}

// The settings of the current binary section, which the text of its lines depends on.
inline line_settings settings_of(const conversion_state& state) {
  return line_settings{state.zero_fill_marker_4, state.zero_fill_marker_8, state.swap_needed};
}

}  // namespace asciify
