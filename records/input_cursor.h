// The unread input as the marker check and the record handlers see it.
#pragma once

#include <cstdint>

namespace asciify {

// The window of input bytes, the position of the first unread one, and the end of what was
// read: nothing at or past `end` is input. A handler moves `position` past what it consumed.
struct input_cursor {
  const uint8_t* window = nullptr;
  int32_t position = 0;
  int32_t end = 0;
};

// Bytes left from `at` to the end.
inline int32_t bytes_from(const input_cursor& input, int32_t at) {
  return input.end - at;
}

}  // namespace asciify
