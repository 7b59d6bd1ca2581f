// Turns the data of one binary record into one output line, driven by its format.
#pragma once

#include <cstdint>
#include <cstdio>

#include "records/conversion_state.h"

namespace asciify {

// Renders the fields of `format` from `data` (starting at `start`, never reading at or past
// `limit`), appends the newline and writes the line to `out` with one write. On success adds
// one to *lines_written, sets *read_pos just past the data consumed and returns 0; on failure
// prints one message and returns -1 with neither changed.
int32_t write_formatted_line(conversion_state& state, FILE* out, const format_entry& format,
                             const uint8_t* data, int32_t start, int32_t limit, int32_t* read_pos,
                             int64_t* lines_written);

}  // namespace asciify
