#include "format/section_header.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace asciify {
namespace {

// Parses the first `length` bytes of `text` (all of it when `length` is -1).
int32_t parse(const std::string& text, section_header* header, int32_t length = -1) {
  return parse_section_header(reinterpret_cast<const uint8_t*>(text.data()),
                              length < 0 ? static_cast<int32_t>(text.size()) : length, header);
}

TEST(SectionHeader, ParsesTheTenItemsInTheirLayouts) {
  const struct {
    const char* text;
    int32_t items, major, minor;
    uint8_t first_probe_byte, last_probe_byte;
  } rows[] = {
      {"         1         0  01000000  0000803f\n", 10, 1, 0, 0x01, 0x3f},
      {"1 0 01 00 00 00 00 00 80 3F", 10, 1, 0, 0x01, 0x3F},  // blanks match any white space
      {"\t 1\n0\n01000000 0000803f", 10, 1, 0, 0x01, 0x3f},
      {"        -3        +7  ff000000  000080aB", 10, -3, 7, 0xff, 0xab},
      {"123456789012345678900100000000000080", 10, 1234567890, 1234567890, 0x01, 0x80},
      {"         1         0  01000000  0000803", 10, 1, 0, 0x01, 0x03},  // one digit is a pair
      {"         1         0  01000000  000080", 9, 1, 0, 0x01, 0},
      {"         1         0  01000000  0000803g", 10, 1, 0, 0x01, 0x03},
      {"version 1", 0, 0, 0, 0, 0},
      {"", 0, 0, 0, 0, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    section_header header;
    EXPECT_EQ(parse(r.text, &header), r.items);
    if (r.items < 2) continue;
    EXPECT_EQ(std::pair(header.major, header.minor), std::pair(r.major, r.minor));
    if (r.items == 10) {
      EXPECT_EQ(std::pair(header.integer_probe[0], header.real_probe[3]),
                std::pair(r.first_probe_byte, r.last_probe_byte));
    }
  }
  // The bytes after the given length would complete the header; they must not be seen.
  section_header header;
  EXPECT_EQ(parse("         1         0  01000000  0000803f", &header, 38), 9);
}

// The header lines a writer makes for either byte order, and probes of neither.
TEST(SectionHeader, ByteOrderFromProbes) {
  const byte_order other_order =
      native_byte_order() == byte_order::little ? byte_order::big : byte_order::little;
  const struct {
    std::string line;
    probe_order expected;
  } rows[] = {
      {make_header_line(native_byte_order()).text, probe_order::native},
      {make_header_line(other_order).text, probe_order::swapped},
      {"1 0 02 00 00 00 00 00 80 3f", probe_order::unknown},  // integer probe 2
      {"1 0 01 00 00 00 00 00 00 40", probe_order::unknown},  // real probe 2.0
      {"1 0 01 00 00 00 3f 80 00 00", probe_order::unknown},  // the two probes disagree
      {"1 0 01 00 00 00 00 00 c0 7f", probe_order::unknown},  // a NaN never matches
  };
  for (const auto& r : rows) {
    section_header header;
    ASSERT_EQ(parse(r.line, &header), 10) << r.line;
    EXPECT_EQ(probe_order_of(header), r.expected) << r.line;
  }
}

}  // namespace
}  // namespace asciify
