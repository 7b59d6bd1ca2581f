// Handlers of the binary records. Each is called with *read_pos at the record's format code,
// consumes exactly that record, leaves *read_pos just past it and writes its lines to `out`. Each
// returns 0 on success and -1 after printing one message. Nothing at or past window_end is ever
// read.
#pragma once

#include <cstdint>

#include "output/output.h"
#include "records/conversion_state.h"

namespace asciify {

// Code 3: a line of text ending in a zero byte. A text beginning with '*' is preceded by a
// line holding only "$".
int32_t write_text_line(conversion_state& state, output& out, uint8_t* window, int32_t* read_pos,
                        int32_t window_end);

// Code 4: forgets one cached format. Writes nothing.
int32_t reset_format(conversion_state& state, output& out, const uint8_t* window, int32_t* read_pos,
                     int32_t window_end);

// Codes 50-255: defines the code's format while its slot is empty, otherwise writes one line
// of data through it.
int32_t process_formatted_line(conversion_state& state, output& out, const uint8_t* window,
                               int32_t* read_pos, int32_t window_end);

// Codes 1 (FC_LSF4) and 2 (FC_LSF8): a line that carries its own format.
int32_t process_lsf_line(conversion_state& state, output& out, const uint8_t* window,
                         int32_t* read_pos, int32_t window_end);

// Codes 10-17 and 30-37: the hard-wired layouts; every other code below 50 is rejected.
int32_t process_hardwired_line(conversion_state& state, output& out, const uint8_t* window,
                               int32_t* read_pos, int32_t window_end);

// Copies field `field_index` of a hard-wired record, which begins at `source`, to the staging
// buffer at *staging_offset (advanced by the bytes written). Returns the position after the
// field in the record, or -1 after a message when the field runs past window_end.
int32_t copy_buffer(conversion_state& state, output& out, const format_entry& format,
                    int32_t field_index, uint8_t* staging, int32_t* staging_offset,
                    const uint8_t* window, int32_t source, int32_t window_end);

// Hands the record at *read_pos to the handler its format code selects.
int32_t dispatch_record(conversion_state& state, output& out, uint8_t* window, int32_t* read_pos,
                        int32_t window_end);

}  // namespace asciify
