// Handlers of the binary records. Each is called with the input's position at the record's
// format code, consumes exactly that record, leaves the position just past it and writes its
// lines to `out`. Each returns true on success and false after printing one message, with the
// position unchanged. Nothing at or past the input's end is ever read.
#pragma once

#include <cstdint>
#include <optional>

#include "output/output.h"
#include "records/conversion_state.h"
#include "records/input_cursor.h"

namespace asciify {

// Code 3: a line of text ending in a zero byte. A text beginning with '*' is preceded by a
// line holding only "$".
bool write_text_line(conversion_state& state, output& out, input_cursor& input);

// Code 4: forgets one cached format. Writes nothing.
bool reset_format(conversion_state& state, output& out, input_cursor& input);

// Codes 50-255: defines the code's format while its slot is empty, otherwise writes one line
// of data through it.
bool process_formatted_line(conversion_state& state, output& out, input_cursor& input);

// Codes 1 (FC_LSF4) and 2 (FC_LSF8): a line that carries its own format.
bool process_lsf_line(conversion_state& state, output& out, input_cursor& input);

// Codes 10-17 and 30-37: the hard-wired layouts; every other code below 50 is rejected.
bool process_hardwired_line(conversion_state& state, output& out, input_cursor& input);

// Where the fields of a hard-wired record are staged, in output order.
struct staging_area {
  uint8_t* bytes;
  int32_t offset;  // where the next field goes
};

// Copies field `field_index` of a hard-wired record, which begins at `source` in the input,
// to the staging area (its offset advanced by the bytes written). Returns the position after
// the field in the record, or nothing after a message when the field runs past the input.
std::optional<int32_t> copy_field(conversion_state& state, output& out, const format_entry& format,
                                  int32_t field_index, staging_area& staging,
                                  const input_cursor& record, int32_t source);

// Writes the line of `format` whose data start at `data_start` in the input, and moves the
// position past them. Returns false after a message.
bool write_record_line(conversion_state& state, output& out, const format_entry& format,
                       input_cursor& input, int32_t data_start);

// Hands the record at *read_pos to the handler its format code selects.
bool dispatch_record(conversion_state& state, output& out, input_cursor& input);

}  // namespace asciify
