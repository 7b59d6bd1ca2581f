#include <cstring>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {

bool write_text_line(conversion_state& state, output& out, input_cursor& input) {
  const uint8_t* window = input.window;
  const int32_t text = input.position + 1;
  if (text < input.end && window[text] == '*') {
    // A text that could be mistaken for a marker line is flagged by a "$" line before it. It
    // is written before the text's end is looked for, and stays when the text is cut off.
    const uint8_t flag_line[] = {'$', '\n'};
    if (!put_plain_line(out, flag_line, 2)) return false;
  }
  const void* zero =
      text < input.end ? std::memchr(window + text, 0, bytes_from(input, text)) : nullptr;
  if (zero == nullptr) {
    // With no text byte at all in the window, the message shows a space.
    const char first = text < input.end ? static_cast<char>(window[text]) : ' ';
    fail_on_input(state, out, input_fault::record_unended,
                  "Failed to find zero-termination of string starting %c at line %lld\n", first,
                  next_line(out));
    return false;
  }
  // The zero byte ends the record; the line ends in a newline instead.
  const int32_t terminator = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - window);
  if (!put_text_with_newline(out, window + text, terminator - text)) return false;
  input.position = terminator + 1;
  return true;
}

}  // namespace asciify
