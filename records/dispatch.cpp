#include "records/record_handlers.h"

namespace asciify {
namespace {

// Where the lines of a record of `kind` come from.
line_origin origin_of(record_kind kind) {
  switch (kind) {
    case record_kind::line_specific:
      return line_origin::line_specific;
    case record_kind::cached_format:
      return line_origin::cached_format;
    case record_kind::hardwired:
      return line_origin::hardwired;
    case record_kind::text_line:
    case record_kind::format_reset:
      break;
  }
  return line_origin::text_record;
}

bool handle_record(conversion_state& state, output& out, record_kind kind, input_cursor& input) {
  switch (kind) {
    case record_kind::line_specific:
      return process_lsf_line(state, out, input);
    case record_kind::text_line:
      return write_text_line(state, out, input);
    case record_kind::format_reset:
      return reset_format(state, out, input);
    case record_kind::cached_format:
      return process_formatted_line(state, out, input);
    case record_kind::hardwired:
      break;
  }
  return process_hardwired_line(state, out, input);
}

// Counts a record that was handled.
void count_record(handled_records& counts, record_kind kind, uint8_t code, bool defined) {
  switch (kind) {
    case record_kind::line_specific:
      ++counts.line_specific[code == FC_LSF4 ? 0 : 1];
      break;
    case record_kind::text_line:
      ++counts.text_lines;
      break;
    case record_kind::format_reset:
      ++counts.format_resets;
      break;
    case record_kind::cached_format:
      ++(defined ? counts.cached_definitions : counts.cached_data);
      break;
    case record_kind::hardwired:
      ++counts.hardwired[code];
      break;
  }
}

}  // namespace

bool dispatch_record(conversion_state& state, output& out, input_cursor& input) {
  const uint8_t code = input.window[input.position];
  const record_kind kind = record_kind_for_code(code);
  const bool defines = kind == record_kind::cached_format && state.format_table[code].count == 0;
  out.item.origin = origin_of(kind);
  out.item.code = code;
  out.item.staged_zero_fill = 0;
  const bool handled = handle_record(state, out, kind, input);
  if (handled) count_record(state.counts, kind, code, defines);
  return handled;
}

}  // namespace asciify
