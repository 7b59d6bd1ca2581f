#include <cstring>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {

int32_t write_text_line(conversion_state& state, output& out, uint8_t* window, int32_t* read_pos,
                        int32_t window_end) {
  const int32_t text = *read_pos + 1;
  // The whole record must be in the window before anything of it is written: a text that is
  // cut off leaves no "$" line behind.
  const void* zero = text < window_end ? std::memchr(window + text, 0, window_end - text) : nullptr;
  if (zero == nullptr) {
    // With no text byte at all in the window, the message shows a space.
    const char first = text < window_end ? static_cast<char>(window[text]) : ' ';
    return fail_on_input(state, out, input_fault::record_unended,
                         "Failed to find zero-termination of string starting %c at line %lld\n",
                         first, next_line(out));
  }
  if (window[text] == '*') {
    // A text that could be mistaken for a marker line is flagged by a "$" line before it.
    const uint8_t flag_line[] = {'$', '\n'};
    if (!put_plain_line(out, flag_line, 2)) return -1;
  }
  const int32_t terminator = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - window);
  window[terminator] = '\n';
  const int32_t length = terminator - text + 1;
  if (!put_plain_line(out, window + text, length)) return -1;
  *read_pos = terminator + 1;
  return 0;
}

}  // namespace asciify
