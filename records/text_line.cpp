#include <cstring>

#include "records/record_handlers.h"
#include "text/line_writer.h"

namespace asciify {

int32_t write_text_line(conversion_state& state, FILE* out, uint8_t* window, int32_t* read_pos,
                        int32_t window_end, int64_t* lines_written) {
  const int32_t text = *read_pos + 1;
  // The whole record must be in the window before anything of it is written: a text that is
  // cut off leaves no "$" line behind.
  const void* zero = text < window_end ? std::memchr(window + text, 0, window_end - text) : nullptr;
  if (zero == nullptr) {
    // With no text byte at all in the window, the message shows a space.
    const char first = text < window_end ? static_cast<char>(window[text]) : ' ';
    report(state, "Failed to find zero-termination of string starting %c at line %lld\n", first,
           static_cast<long long>(*lines_written + 1));
    return -1;
  }
  if (window[text] == '*') {
    // A text that could be mistaken for a marker line is flagged by a "$" line before it.
    const uint8_t flag_line[] = {'$', '\n'};
    if (!write_plain_text(state, out, flag_line, 2, *lines_written)) return -1;
    ++*lines_written;
  }
  const int32_t terminator = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - window);
  window[terminator] = '\n';
  const int32_t length = terminator - text + 1;
  if (!write_plain_text(state, out, window + text, length, *lines_written)) return -1;
  *read_pos = terminator + 1;
  ++*lines_written;
  return 0;
}

}  // namespace asciify
