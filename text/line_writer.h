// Turns the data of one binary record into one output line, driven by its format.
#pragma once

#include <cstdint>
#include <cstdio>

#include "records/conversion_state.h"

namespace asciify {

// What the text of a line depends on besides its format and data.
struct line_settings {
  uint32_t zero_fill_marker_4;
  uint64_t zero_fill_marker_8;
  int32_t swap_needed;
};

// The settings of the current binary section.
line_settings settings_of(const conversion_state& state);

// Renders the fields of `format` from `data` (starting at `start`, never reading at or past
// `limit`), appends the newline and writes the line to `out` with one write. On success adds
// one to *lines_written, sets *read_pos just past the data consumed and returns 0; on failure
// prints one message and returns -1 with neither changed. With a line queue on the state the
// line is checked here and queued, to be rendered and written in order later.
int32_t write_formatted_line(conversion_state& state, FILE* out, const format_entry& format,
                             const uint8_t* data, int32_t start, int32_t limit, int32_t* read_pos,
                             int64_t* lines_written);

}  // namespace asciify

namespace asciify {

// Writes a line of a format of numbers in fixed columns (format.plain_size >= 0) from its
// plain_size data bytes at `data`, which the caller has found free of the zero-fill marker:
// as write_formatted_line would, without checking the fields again.
int32_t write_plain_line(conversion_state& state, FILE* out, const format_entry& format,
                         const uint8_t* data, int64_t* lines_written);

// Writes `count` bytes as they are (queued when the state has a line queue). Returns false
// after a message, or when the queue has stopped on a failed write (whose message comes when
// the queue is drained).
bool write_plain_text(const conversion_state& state, FILE* out, const uint8_t* bytes, int32_t count,
                      int64_t lines_written);

// What checking a line without rendering it found.
struct line_measure {
  int32_t text_bound;  // the most characters its text can have, newline included
  int32_t end;         // just past its data
  bool only_numbers;   // numbers in fixed columns, none of them the zero-fill marker
};

// Checks a line as write_formatted_line does, without rendering it. Returns false when the
// line fails, or when only its text can tell (an open-ended string in free format).
bool measure_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                  const uint8_t* data, int32_t start, int32_t limit, line_measure* measure);

// Renders a line that write_formatted_line has measured and queued: its data are the `length`
// bytes it used, `only_numbers` as measured. Writes the text and its newline at `text`, which
// needs room for the measured text bound and one byte more; sets *first_star_width (-1 when
// no field became '*') and returns the text's length.
int32_t render_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                    const uint8_t* data, int32_t length, bool only_numbers, char* text,
                    int32_t* first_star_width);

}  // namespace asciify
