// The state that lives for one conversion run and is shared by the marker check, the record
// handlers and the line writer: cached formats, scratch formats, zero-fill markers and the
// byte-order flag. Each run owns one; nothing here is global, so runs are independent.
#pragma once

#include <cstdint>

#include "format/byte_order.h"
#include "format/format_codes.h"
#include "format/limits.h"
#include "output/output.h"
#include "text/line_writer.h"

namespace asciify {

constexpr int32_t kWindowSize = 1024;                // bytes of input held at once
constexpr int32_t kLsfBufferSize = 2 * kWindowSize;  // two packed codes per window byte
// Room for any hard-wired record: ten fields, strings up to 127 characters or open-ended
// (an open-ended string is bounded by the window).
constexpr int32_t kStagingBufferSize = 10 * kWindowSize;

// What was wrong with the input when a marker or a record failed, for the explanation that
// follows the message.
enum class input_fault : uint8_t {
  none,
  start_in_binary_mode,       // *START_BINARY inside a binary section
  close_in_ascii_mode,        // *SUSPEND_BINARY or *END_BINARY outside one
  resume_in_binary_mode,      // *RESUME_BINARY inside one
  marker_line_unended,        // a marker or header line with no end-of-line byte in reach
  header_unreadable,          // fewer than ten header items
  header_too_new,             // a format version above this converter's
  header_byte_order_unknown,  // probes of neither byte order
  record_unended,             // a record's format, text or data running past what is in reach
  too_many_fields,            // a format of more than 255 fields
  unknown_code,               // a format code that stands for nothing
  reset_of_reserved_code,     // a format reset naming a code below 50
  undefined_cached_format,    // a 'long' record naming an empty cached format
  long_format_too_short,      // a 'long' record's format with too few fields for its layout
  line_too_long,              // an open-ended string that makes the line too long
};

struct section_settings {
  int32_t major = 0;
  int32_t minor = 0;
  bool swapped = false;
  bool carriage_return = false;
};

// Records handled, by kind.
struct handled_records {
  int64_t text_lines = 0;
  int64_t format_resets = 0;
  int64_t cached_definitions = 0;
  int64_t cached_data = 0;
  int64_t line_specific[2] = {};  // packed (code 1), plain (code 2)
  int64_t hardwired[FC_FIRST_CACHED] = {};
};

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
  uint32_t zero_fill_marker_4 = kZeroFillMarker4;
  uint64_t zero_fill_marker_8 = kZeroFillMarker8;

  // 1 when the numbers of the current binary section have the reverse byte order.
  int32_t swap_needed = 0;

  // The three above as the line writer takes them, set with them (set_byte_order): handed by
  // reference to every line, so that no line builds its own copy.
  line_settings settings{kZeroFillMarker4, kZeroFillMarker8, 0};

  // Zero fill within one hard-wired record: 0 none, 1 marker just met, 2 filling.
  int32_t zero_fill_state = 0;

  // Working area of the hard-wired handler.
  uint8_t staging_buffer[kStagingBufferSize];

  // What the header of the current binary section said, and whether its lines ended in a
  // carriage return.
  section_settings section;

  handled_records counts;

  // Set with the message of a failure that the input's content caused.
  input_fault fault = input_fault::none;
};

// Empties every slot of the format table.
void clear_format_table(conversion_state& state);

// Defines slot `code` with `count` field format bytes copied from `bytes`.
void define_format(conversion_state& state, uint8_t code, const uint8_t* bytes, uint8_t count);

// Notes `fault` and prints the message of the failure it caused. Returns false.
bool fail_on_input(conversion_state& state, output& out, input_fault fault, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

inline bool is_zero_fill_marker(const conversion_state& state, const uint8_t* bytes, int32_t size) {
  return matches_zero_fill_marker(state.zero_fill_marker_4, state.zero_fill_marker_8, bytes, size);
}

// The settings of the current binary section, which the text of its lines depends on.
inline const line_settings& settings_of(const conversion_state& state) {
  return state.settings;
}

// Sets the byte order of the numbers of a binary section (`swapped`: the reverse of this
// machine's), the zero-fill markers as they stand in its byte order, and the line settings.
void set_byte_order(conversion_state& state, bool swapped);

}  // namespace asciify
