#include "tests/support/encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace asciify::test_support {

std::string header_line(order numbers, int major, int minor) {
  encoder probes;
  probes.numbers = numbers;
  probes.i32(1).f32(1.0f);
  char text[80];
  auto at = static_cast<size_t>(std::snprintf(text, sizeof text, "%10d%10d", major, minor));
  for (size_t i = 0; i < 8; ++i) {
    at += static_cast<size_t>(std::snprintf(text + at, sizeof text - at, i % 4 ? "%02x" : "  %02x",
                                            static_cast<uint8_t>(probes.bytes[i])));
  }
  return std::string(text) + "\n";
}

std::string pack_nibbles(const std::vector<uint8_t>& nibbles) {
  std::string packed;  // two codes a byte, and a zero code after the last
  for (size_t i = 0; i <= nibbles.size(); i += 2) {
    const int high = i < nibbles.size() ? nibbles[i] : 0;
    const int low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
    packed.push_back(static_cast<char>(high << 4 | low));
  }
  return packed;
}

encoder& encoder::start_binary(order section_order, int major, int minor) {
  numbers = section_order;
  return raw("*START_BINARY\n").raw(header_line(section_order, major, minor));
}

encoder& encoder::raw(std::string_view text) {
  const size_t at = bytes.size();
  if (open_section_at < 0) {
    // ASCII lines start after an end-of-line byte, or where a closing marker record ended.
    const bool line_start = at == 0 || bytes.back() == '\n' || at == ascii_since ||
                            (at == ascii_since + 1 && bytes.back() == 0);
    if (line_start && (text.starts_with("*START_BINARY") || text.starts_with("*RESUME_BINARY"))) {
      open_section_at = static_cast<int64_t>(at);
    }
  } else if (at > 0 && bytes.back() == 3 &&
             (text.starts_with("*SUSPEND_BINARY") || text.starts_with("*END_BINARY"))) {
    open_section_at = -1;
    ascii_since = at + (text.starts_with("*END_BINARY") ? 11 : 15);
  }
  bytes.append(text);
  return *this;
}

std::string cut_short_warning(int64_t offset) {
  return "Warning: the input ended inside a binary section entered at input byte " +
         std::to_string(offset) + "; it may be cut short.\n";
}

encoder& encoder::define(uint8_t code, const std::vector<uint8_t>& field_formats) {
  byte(code);
  for (uint8_t field : field_formats) byte(field);
  return byte(0);
}

encoder& encoder::i32s(const std::vector<int32_t>& values) {
  for (int32_t value : values) i32(value);
  return *this;
}

}  // namespace asciify::test_support
