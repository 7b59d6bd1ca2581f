#include "tests/support/encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace asciify::test_support {

std::string header_line(order numbers, int major, int minor) {
  unsigned char probes[8];
  const int32_t one = 1;
  const float real_one = 1.0f;
  std::memcpy(probes, &one, 4);
  std::memcpy(probes + 4, &real_one, 4);
  if (numbers == order::reversed) {
    std::reverse(probes, probes + 4);
    std::reverse(probes + 4, probes + 8);
  }
  char text[80];
  std::snprintf(text, sizeof text, "%10d%10d  %02x%02x%02x%02x  %02x%02x%02x%02x\n", major, minor,
                probes[0], probes[1], probes[2], probes[3], probes[4], probes[5], probes[6],
                probes[7]);
  return text;
}

std::string pack_nibbles(const std::vector<uint8_t>& nibbles) {
  std::vector<uint8_t> codes = nibbles;
  codes.push_back(0);
  if (codes.size() % 2) codes.push_back(0);
  std::string packed;
  for (size_t i = 0; i < codes.size(); i += 2) {
    packed.push_back(static_cast<char>((codes[i] << 4) | codes[i + 1]));
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
