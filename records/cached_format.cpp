#include <cstring>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {

int32_t reset_format(conversion_state& state, output& out, const uint8_t* window, int32_t* read_pos,
                     int32_t window_end) {
  if (window_end - *read_pos < 2) {
    return fail_on_input(state, out, input_fault::record_unended,
                         "Buffer too short in <reset_format> at line %lld\n", next_line(out));
  }
  const uint8_t code = window[*read_pos + 1];
  if (code < FC_FIRST_CACHED) {
    return fail_on_input(
        state, out, input_fault::reset_of_reserved_code,
        "Attempt to reset reserved format code %d in <reset_format> at line %lld\n", code,
        next_line(out));
  }
  state.format_table[code] = format_entry{};
  ++state.format_generation;
  *read_pos += 2;
  return 0;
}

int32_t process_formatted_line(conversion_state& state, output& out, const uint8_t* window,
                               int32_t* read_pos, int32_t window_end) {
  const int32_t p = *read_pos;
  const uint8_t code = window[p];
  if (code < FC_FIRST_CACHED) {
    return fail_on_input(
        state, out, input_fault::unknown_code,
        "Encountered reserved format code %d in <process_formatted_line> at line %lld\n", code,
        next_line(out));
  }
  const format_entry& slot = state.format_table[code];
  if (slot.count != 0) {
    return write_formatted_line(out, settings_of(state), slot, window, p + 1, window_end, read_pos);
  }

  // An empty slot: this record defines the code's format.
  const int32_t first = p + 1;
  const void* zero =
      first < window_end ? std::memchr(window + first, 0, window_end - first) : nullptr;
  if (zero == nullptr) {
    return fail_on_input(state, out, input_fault::record_unended,
                         "Error reading new format %d in <process_formatted_line> at line %lld\n",
                         code, next_line(out));
  }
  const int32_t count = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - window) - first;
  if (count > kMaxFormatFields) {
    return fail_on_input(
        state, out, input_fault::too_many_fields,
        "Format has more than 255 fields in <process_formatted_line> at line %lld\n",
        next_line(out));
  }
  define_format(state, code, window + first, static_cast<uint8_t>(count));
  *read_pos = first + count + 1;
  return 0;
}

}  // namespace asciify
