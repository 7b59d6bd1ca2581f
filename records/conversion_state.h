// The state that lives for one conversion run and is shared by the marker check, the record
// handlers and the line writer: cached formats, scratch formats, zero-fill markers and the
// byte-order flag. Each run owns one; nothing here is global, so runs are independent.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "records/format_codes.h"

namespace asciify {

struct line_queue;

constexpr int32_t kMaxFormatFields = 255;            // a format_entry count is one byte
constexpr int32_t kHardwiredFormatSize = 20;         // field format bytes of a hard-wired line
constexpr int32_t kWindowSize = 1024;                // bytes of input held at once
constexpr int32_t kLsfBufferSize = 2 * kWindowSize;  // two packed codes per window byte
// Room for the widest line any format can describe: 255 fields of up to 127 characters,
// their separators and the newline, with slack for a field writer's closing zero byte.
constexpr int32_t kLineBufferSize = kMaxFormatFields * 128 + 64;
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

  // Working areas of the line writer and the hard-wired handler.
  char line_buffer[kLineBufferSize];
  uint8_t staging_buffer[kStagingBufferSize];

  // Where messages go: errors, and the informational byte-order note. Neither may be the
  // output stream itself, which a line queue writes from its own thread.
  FILE* messages = stderr;
  FILE* info = stdout;

  // The warning about values written as '*' is given once per run.
  bool wide_value_warning_given = false;

  // When set, a conversion renders and writes its lines on a second thread, in order, while
  // this one reads the input (see text/line_queue.h); the result is the same.
  bool use_line_queue = false;
  // The queue of the conversion in progress, when it has one.
  line_queue* queue = nullptr;
};

// Empties every slot of the format table.
void clear_format_table(conversion_state& state);

// Defines slot `code` with `count` field format bytes copied from `bytes`.
void define_format(conversion_state& state, uint8_t code, const uint8_t* bytes, uint8_t count);

}  // namespace asciify

namespace asciify {

// True when the `size` (4 or 8) raw bytes of a numeric field are the zero-fill marker of that
// size, which ends the stored data of a record.
inline bool matches_zero_fill_marker(uint32_t marker_4, uint64_t marker_8, const uint8_t* bytes,
                                     int32_t size) {
  if (size == 4) {
    uint32_t raw;
    std::memcpy(&raw, bytes, 4);
    return raw == marker_4;
  }
  uint64_t raw;
  std::memcpy(&raw, bytes, 8);
  return raw == marker_8;
}

inline bool is_zero_fill_marker(const conversion_state& state, const uint8_t* bytes, int32_t size) {
  return matches_zero_fill_marker(state.zero_fill_marker_4, state.zero_fill_marker_8, bytes, size);
}

// Prints one message to the run's message stream (standard error by default). With a line
// queue, the lines queued before are written first; when one of them failed, its message is
// printed instead, as the run would have ended there.
void report(const conversion_state& state, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace asciify
