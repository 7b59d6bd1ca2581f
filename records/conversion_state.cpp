#include "records/conversion_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "format/byte_order.h"

namespace asciify {

void clear_format_table(conversion_state& state) {
  for (format_entry& slot : state.format_table) slot = format_entry{};
  ++state.format_generation;
}

void define_format(conversion_state& state, uint8_t code, const uint8_t* bytes, uint8_t count) {
  std::memcpy(state.format_storage[code], bytes, count);
  state.format_table[code] = format_entry{count, state.format_storage[code]};
  summarize_format(state.format_table[code]);
  ++state.format_generation;
}

void set_byte_order(conversion_state& state, bool swapped) {
  state.swap_needed = swapped ? 1 : 0;
  state.zero_fill_marker_4 = swapped ? reversed(kZeroFillMarker4) : kZeroFillMarker4;
  state.zero_fill_marker_8 = swapped ? reversed(kZeroFillMarker8) : kZeroFillMarker8;
  state.settings = {state.zero_fill_marker_4, state.zero_fill_marker_8, state.swap_needed};
}

bool fail_on_input(conversion_state& state, output& out, input_fault fault, const char* format,
                   ...) {
  state.fault = fault;
  char message[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  report(out, "%s", message);
  return false;
}

}  // namespace asciify
