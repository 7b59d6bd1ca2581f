#include <cstring>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {

bool reset_format(conversion_state& state, output& out, input_cursor& input) {
  if (bytes_from(input, input.position) < 2) {
    return fail_on_input(state, out, input_fault::record_unended,
                         "Buffer too short in <reset_format> at line %lld\n", next_line(out));
  }
  const uint8_t code = input.window[input.position + 1];
  if (code < FC_FIRST_CACHED) {
    return fail_on_input(
        state, out, input_fault::reset_of_reserved_code,
        "Attempt to reset reserved format code %d in <reset_format> at line %lld\n", code,
        next_line(out));
  }
  state.format_table[code] = format_entry{};
  ++state.format_generation;
  input.position += 2;
  return true;
}

bool process_formatted_line(conversion_state& state, output& out, input_cursor& input) {
  const uint8_t* window = input.window;
  const uint8_t code = window[input.position];
  const int32_t first = input.position + 1;
  const format_entry& slot = state.format_table[code];
  if (slot.count != 0) return write_record_line(state, out, slot, input, first);

  // An empty slot: this record defines the code's format.
  const void* zero =
      first < input.end ? std::memchr(window + first, 0, bytes_from(input, first)) : nullptr;
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
  input.position = first + count + 1;
  return true;
}

bool write_record_line(conversion_state& state, output& out, const format_entry& format,
                       input_cursor& input, int32_t data_start) {
  const std::optional<int32_t> end =
      write_formatted_line(out, settings_of(state), format, input.window, data_start, input.end);
  if (!end) return false;
  input.position = *end;
  return true;
}

}  // namespace asciify
