#include "driver/mode_marker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "tests/support/encoder.h"

namespace asciify {
namespace {

using testing::header_line;
using testing::order;

int32_t parse(const std::string& text, section_header* header) {
  return parse_section_header(reinterpret_cast<const uint8_t*>(text.data()),
                              static_cast<int32_t>(text.size()), header);
}

TEST(SectionHeader, ParsesTheTenItemsInTheirLayouts) {
  struct row {
    const char* text;
    int32_t items;
    int32_t major, minor;
    uint8_t first_probe_byte, last_probe_byte;
  };
  const row rows[] = {
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
  for (const row& r : rows) {
    section_header header;
    EXPECT_EQ(parse(r.text, &header), r.items) << r.text;
    if (r.items >= 2) {
      EXPECT_EQ(header.major, r.major) << r.text;
      EXPECT_EQ(header.minor, r.minor) << r.text;
    }
    if (r.items == 10) {
      EXPECT_EQ(header.integer_probe[0], r.first_probe_byte) << r.text;
      EXPECT_EQ(header.real_probe[3], r.last_probe_byte) << r.text;
    }
  }
}

TEST(SectionHeader, ReadsNothingPastItsLength) {
  // The bytes after the given length would complete the header; they must not be seen.
  const std::string text = "         1         0  01000000  0000803f";
  section_header header;
  EXPECT_EQ(parse_section_header(reinterpret_cast<const uint8_t*>(text.data()),
                                 static_cast<int32_t>(text.size() - 2), &header),
            9);
}

TEST(SectionHeader, ByteOrderFromProbes) {
  struct row {
    std::string line;
    byte_order expected;
  };
  const row rows[] = {
      {header_line(order::native), byte_order::native},
      {header_line(order::reversed), byte_order::swapped},
      {"1 0 02 00 00 00 00 00 80 3f", byte_order::unknown},  // integer probe 2
      {"1 0 01 00 00 00 00 00 00 40", byte_order::unknown},  // real probe 2.0
      {"1 0 01 00 00 00 3f 80 00 00", byte_order::unknown},  // the two probes disagree
      {"1 0 01 00 00 00 00 00 c0 7f", byte_order::unknown},  // a NaN never matches
  };
  for (const row& r : rows) {
    section_header header;
    ASSERT_EQ(parse(r.line, &header), 10) << r.line;
    EXPECT_EQ(byte_order_of_probes(header), r.expected) << r.line;
  }
}

// Runs the marker check on `bytes` as the whole window.
struct marker_check {
  std::unique_ptr<conversion_state> state = std::make_unique<conversion_state>();
  int32_t read_pos = 0;
  int32_t binary_mode = 0;
  int32_t result = 0;

  marker_check(const std::string& bytes, int32_t mode) : binary_mode(mode) {
    state->messages = fopen("/dev/null", "w");
    state->info = state->messages;
    // Bytes past the window end hold a zero that must not be consumed.
    std::string window = bytes + std::string(8, '\0');
    result = check_mode_marker(*state, reinterpret_cast<const uint8_t*>(window.data()), &read_pos,
                               static_cast<int32_t>(bytes.size()), &binary_mode);
  }
  ~marker_check() { fclose(state->messages); }
};

TEST(MarkerCheck, ConsumesExactlyTheMarker) {
  struct row {
    std::string bytes;
    int32_t mode;
    int32_t result, read_pos, mode_after;
  };
  const std::string start = "*START_BINARY\n" + header_line(order::native);
  const row rows[] = {
      {start + "rest", 0, 1, static_cast<int32_t>(start.size()), 1},
      {std::string("\3*SUSPEND_BINARY\0\3", 18), 1, 1, 17, 0},
      {"\3*SUSPEND_BINARY", 1, 1, 16, 0},  // the zero byte would lie past the window end
      {std::string("\3*END_BINARY\0", 13), 1, 1, 13, 0},
      {"\3*END_BINARYx", 1, 1, 12, 0},
      {"*RESUME_BINARY extra\nnext", 0, 1, 21, 1},
      {"*RESUME_BINAR", 0, 0, 0, 0},  // cut short by the window end
      {"*NOTE\n", 0, 0, 0, 0},
      {std::string("\3*note\0", 7), 1, 0, 0, 1},
      {"*SUSPEND_BINARY\n", 0, -1, 0, 0},
      {std::string("\3*RESUME_BINARY\0", 16), 1, -1, 0, 1},
  };
  for (const row& r : rows) {
    marker_check check(r.bytes, r.mode);
    EXPECT_EQ(check.result, r.result) << r.bytes;
    EXPECT_EQ(check.read_pos, r.read_pos) << r.bytes;
    EXPECT_EQ(check.binary_mode, r.mode_after) << r.bytes;
  }
}

TEST(MarkerCheck, StartSetsByteOrderMarkersAndEmptiesFormats) {
  const std::string reversed = "*START_BINARY\n" + header_line(order::reversed);
  marker_check check(reversed, 0);
  ASSERT_EQ(check.result, 1);
  EXPECT_EQ(check.state->swap_needed, 1);
  EXPECT_EQ(check.state->zero_fill_marker_4, __builtin_bswap32(0x80000000u));
  EXPECT_EQ(check.state->zero_fill_marker_8, __builtin_bswap64(0x8000000000000000u));

  // A native header restores this machine's order; cached formats do not survive it.
  const uint8_t format[] = {0x0A};
  define_format(*check.state, 60, format, 1);
  std::string native = "*START_BINARY\n" + header_line(order::native) + std::string(4, '\0');
  int32_t read_pos = 0;
  int32_t mode = 0;
  ASSERT_EQ(check_mode_marker(*check.state, reinterpret_cast<const uint8_t*>(native.data()),
                              &read_pos, static_cast<int32_t>(native.size()), &mode),
            1);
  EXPECT_EQ(check.state->swap_needed, 0);
  EXPECT_EQ(check.state->zero_fill_marker_4, 0x80000000u);
  EXPECT_EQ(check.state->zero_fill_marker_8, 0x8000000000000000u);
  EXPECT_EQ(check.state->format_table[60].count, 0);
}

TEST(MarkerCheck, FailureLeavesPositionModeAndFormatsAlone) {
  auto state = std::make_unique<conversion_state>();
  state->messages = fopen("/dev/null", "w");
  const uint8_t format[] = {0x0A};
  define_format(*state, 60, format, 1);
  const std::string text = "*START_BINARY\n         2         0  01000000  0000803f\n";
  int32_t read_pos = 0;
  int32_t mode = 0;
  EXPECT_EQ(check_mode_marker(*state, reinterpret_cast<const uint8_t*>(text.data()), &read_pos,
                              static_cast<int32_t>(text.size()), &mode),
            -1);
  EXPECT_EQ(read_pos, 0);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(state->format_table[60].count, 1);
  fclose(state->messages);
}

}  // namespace
}  // namespace asciify
