// The header line after *START_BINARY: the format version and two probe values, the integer 1
// and the real 1.0, in the writer's memory order, from which a reader learns the byte order
// of the section's numbers.
#pragma once

#include <cstdint>

#include "format/byte_order.h"

namespace asciify {

// The version of the format this program reads and writes.
constexpr int32_t kFormatMajor = 1;
constexpr int32_t kFormatMinor = 0;

struct section_header {
  int32_t major = 0;
  int32_t minor = 0;
  uint8_t integer_probe[4] = {};
  uint8_t real_probe[4] = {};
};

// Items of a header line; a header is read only when all of them convert.
constexpr int32_t kHeaderItems = 10;

// Parses the header line from the `length` bytes at `text` (which need not be terminated; at
// most the first kHeaderScanLimit are looked at). Returns the number of items converted.
constexpr int32_t kHeaderScanLimit = 1024;
int32_t parse_section_header(const uint8_t* text, int32_t length, section_header* header);

// How the probes relate to this machine's byte order.
enum class probe_order { native, swapped, unknown };
probe_order probe_order_of(const section_header& header);

// Whether a reader accepts a header of this version: 1.0 and older ones of major version 1.
constexpr bool version_accepted(int32_t major, int32_t minor) {
  return major <= kFormatMajor && minor <= kFormatMinor;
}

// The header line a writer of `order` puts after *START_BINARY, with its end-of-line byte.
constexpr int32_t kHeaderLineSize = 41;
struct header_line {
  char text[kHeaderLineSize + 1];
};
header_line make_header_line(byte_order order);

}  // namespace asciify
