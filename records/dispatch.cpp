#include "records/record_handlers.h"

namespace asciify {

int32_t dispatch_record(conversion_state& state, output& out, uint8_t* window, int32_t* read_pos,
                        int32_t window_end) {
  switch (record_kind_for_code(window[*read_pos])) {
    case record_kind::line_specific:
      return process_lsf_line(state, out, window, read_pos, window_end);
    case record_kind::text_line:
      return write_text_line(out, window, read_pos, window_end);
    case record_kind::format_reset:
      return reset_format(state, out, window, read_pos, window_end);
    case record_kind::cached_format:
      return process_formatted_line(state, out, window, read_pos, window_end);
    case record_kind::hardwired:
      break;
  }
  return process_hardwired_line(state, out, window, read_pos, window_end);
}

}  // namespace asciify
