#include "format/section_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace asciify {

int32_t parse_section_header(const uint8_t* text, int32_t length, section_header* header) {
  // The scan may not run past the bytes given, so it works on a terminated copy.
  char copy[kHeaderScanLimit + 1];
  const int32_t kept = std::clamp(length, 0, kHeaderScanLimit);
  std::memcpy(copy, text, static_cast<size_t>(kept));
  copy[kept] = '\0';
  unsigned int hex[8] = {};
  const int converted =
      std::sscanf(copy, "%10d%10d  %2x%2x%2x%2x  %2x%2x%2x%2x", &header->major, &header->minor,
                  &hex[0], &hex[1], &hex[2], &hex[3], &hex[4], &hex[5], &hex[6], &hex[7]);
  for (int i = 0; i < 4; ++i) {
    header->integer_probe[i] = static_cast<uint8_t>(hex[i] & 0xFF);
    header->real_probe[i] = static_cast<uint8_t>(hex[i + 4] & 0xFF);
  }
  return converted < 0 ? 0 : converted;
}

probe_order probe_order_of(const section_header& header) {
  int32_t integer_probe;
  float real_probe;
  std::memcpy(&integer_probe, header.integer_probe, 4);
  std::memcpy(&real_probe, header.real_probe, 4);
  if (integer_probe == 1 && real_probe == 1.0f) return probe_order::native;
  integer_probe = reversed(integer_probe);
  real_probe = reversed(real_probe);
  if (integer_probe == 1 && real_probe == 1.0f) return probe_order::swapped;
  return probe_order::unknown;
}

header_line make_header_line(byte_order order) {
  const bool little = order == byte_order::little;
  const unsigned integer[4] = {little ? 1u : 0u, 0, 0, little ? 0u : 1u};
  const unsigned real[4] = {little ? 0x00u : 0x3Fu, little ? 0x00u : 0x80u, little ? 0x80u : 0x00u,
                            little ? 0x3Fu : 0x00u};
  header_line line;
  std::snprintf(line.text, sizeof line.text, "%10d%10d  %02x%02x%02x%02x  %02x%02x%02x%02x\n",
                kFormatMajor, kFormatMinor, integer[0], integer[1], integer[2], integer[3], real[0],
                real[1], real[2], real[3]);
  return line;
}

}  // namespace asciify
