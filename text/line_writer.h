// Turns the data of one binary record into the text of one output line, driven by its format.
#pragma once

#include <cstdint>
#include <cstring>

#include "format/field_format.h"

namespace asciify {

// Room for the widest line any format can describe: 255 fields of up to 127 characters,
// their separators and the newline, with slack for a field writer's closing zero byte.
constexpr int32_t kLineBufferSize = kMaxFormatFields * 128 + 64;

// What the text of a line depends on besides its format and data: the zero-fill markers as
// they stand in the file's byte order, and whether its numbers have the reverse byte order.
struct line_settings {
  uint32_t zero_fill_marker_4;
  uint64_t zero_fill_marker_8;
  int32_t swap_needed;
};

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

// How laying out a line ended.
enum class layout_result {
  complete,
  past_limit,               // a field's data runs past the limit
  unterminated_open_ended,  // an open-ended string without its zero byte
  open_ended_too_long,      // an open-ended string that would make the line too long
  needs_rendering,          // (measuring only) the answer depends on the rendered text
};

// The text of a rendered line.
struct rendered_text {
  int32_t length = 0;             // newline included
  int32_t first_star_width = -1;  // width of the first field written as '*', or -1
  int32_t star_count = 0;         // fields written as '*'
  int32_t end = 0;                // offset just past the data used
};

// Renders the fields of `format` from `data` (starting at `start`, never reading at or past
// `limit`) and the newline into `text`, which has room for kLineBufferSize characters.
layout_result render_formatted_line(const line_settings& settings, const format_entry& format,
                                    const uint8_t* data, int32_t start, int32_t limit, char* text,
                                    rendered_text* rendered);

// What checking a line without rendering it found.
struct line_measure {
  int32_t text_bound;  // the most characters its text can have, newline included
  int32_t end;         // just past its data
  bool only_numbers;   // numbers in fixed columns, none of them the zero-fill marker
  bool exact;          // in fixed columns: the text has text_bound characters
};

// Checks a line as render_formatted_line does, without rendering it: a line of a plain format
// whose data hold no zero-fill marker from the format's summary, any other by walking its
// fields. Gives needs_rendering when only the text can tell (an open-ended string in free
// format).
layout_result measure_formatted_line(const line_settings& settings, const format_entry& format,
                                     const uint8_t* data, int32_t start, int32_t limit,
                                     line_measure* measure);

// render_formatted_line for a line of a plain format (see summarize_format) whose data, its
// format's plain_size bytes from `data`, hold no zero-fill marker: the line cannot fail.
rendered_text render_plain_line(const line_settings& settings, const format_entry& format,
                                const uint8_t* data, char* text);

// measure_formatted_line for a format given by its bytes; true when the line is complete.
bool measure_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                  const uint8_t* data, int32_t start, int32_t limit, line_measure* measure);

// Renders a line that has been measured: its data are the `length` bytes it used,
// `only_numbers` as measured. Writes the text and its newline at `text`, which needs room for
// the measured text bound and one byte more; sets *first_star_width (-1 when no field became
// '*') and returns the text's length.
int32_t render_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                    const uint8_t* data, int32_t length, bool only_numbers, char* text,
                    int32_t* first_star_width);

}  // namespace asciify
