#include "text/line_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace asciify {
namespace {

using testing::bytes;
using testing::bytes_of;

// Captures what a stream receives.
struct captured_stream {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);
  ~captured_stream() {
    std::fclose(file);
    std::free(data);
  }
  std::string text() {
    std::fflush(file);
    return std::string(data, size);
  }
};

// One call of the line writer on a data area, with everything it produced.
struct line_writer_run {
  std::unique_ptr<conversion_state> state = std::make_unique<conversion_state>();
  captured_stream output, messages;
  int64_t lines_written = 0;
  int32_t read_pos = -1;

  line_writer_run() { state->messages = messages.file; }

  int32_t write(const std::string& format, const std::string& data) {
    return write(format, data, static_cast<int32_t>(data.size()));
  }
  int32_t write(const std::string& format, const std::string& data, int32_t limit) {
    const format_entry entry{static_cast<uint8_t>(format.size()),
                             reinterpret_cast<const uint8_t*>(format.data())};
    // The data start after one byte, as they do after a format code.
    const std::string area = "C" + data;
    return write_formatted_line(*state, output.file, entry,
                                reinterpret_cast<const uint8_t*>(area.data()), 1, limit + 1,
                                &read_pos, &lines_written);
  }
};

struct line_case {
  const char* name;
  std::string format;
  std::string data;
  std::string line;  // expected, with its newline
  int32_t consumed;  // data bytes consumed
};

std::string spaces(int n) {
  return std::string(n, ' ');
}

TEST(LineWriter, WritesOneLinePerRecord) {
  const std::string marker4 = bytes_of(INT32_MIN);
  const std::string i7 = bytes_of<int32_t>(7);
  const std::string minus12 = bytes_of<int32_t>(-12);
  const std::string ab = std::string("ab\0", 3);
  const line_case cases[] = {
      {"columns", bytes({0x0A, 0x0A, 0x88}), i7 + minus12 + ab,
       spaces(9) + "7" + spaces(7) + "-12" + "ab" + spaces(6) + "\n", 11},
      {"free format from the first field", bytes({0x1F, 0x0A, 0x88}), i7 + minus12 + ab,
       " 7, -12,ab\n", 11},
      {"free-format mark on the last field", bytes({0x0A, 0x1F}), i7 + minus12, " 7, -12\n", 8},
      {"zero fill in columns", bytes({0x0A, 0x0A, 0x2A, 0x88}), bytes_of<int32_t>(5) + marker4,
       spaces(9) + "5" + spaces(9) + "0" + spaces(7) + "0.0" + spaces(8) + "\n", 8},
      {"zero fill in free format", bytes({0x1F, 0x0A, 0x2A, 0x88}), bytes_of<int32_t>(5) + marker4,
       " 5, 0,0.0,\n", 8},
      {"zero fill from the first field", bytes({0x08, 0x30, 0x88, 0xDF, 0x80}), marker4,
       spaces(7) + "0" + spaces(13) + "0.0" + spaces(8) + spaces(95) + "\n", 4},
      {"8-byte marker", bytes({0x50, 0x70}), bytes_of(INT64_MIN),
       spaces(15) + "0" + spaces(13) + "0.0\n", 8},
      {"negative zero real is the marker", bytes({0x2A, 0x0A}), bytes_of(-0.0f),
       spaces(7) + "0.0" + spaces(9) + "0\n", 4},
      {"open-ended string", bytes({0x80}), std::string("hello\0", 6), "hello\n", 6},
      {"open-ended string 0xDF", bytes({0xDF, 0x08}), std::string("x\0", 2) + i7,
       "x" + spaces(7) + "7\n", 6},
      {"no fields", "", "", "\n", 0},
      {"free-format string", bytes({0xFF, 0x9F}), std::string("a,b\0c\0", 6), "a,b,c\n", 6},
      {"fixed string of width 31 is no free-format mark", bytes({0x9F}), std::string("c\0", 2),
       "c" + spaces(30) + "\n", 2},
      {"string filling its width", bytes({0x84, 0x08}), "abcd" + i7, "abcd" + spaces(7) + "7\n", 8},
      {"string ended by a zero at its last byte", bytes({0x84, 0x08}), std::string("abc\0", 4) + i7,
       "abc " + spaces(7) + "7\n", 8},
      {"empty string", bytes({0x84, 0x08}), std::string("\0", 1) + i7,
       spaces(4) + spaces(7) + "7\n", 5},
      {"empty string in free format", bytes({0x84, 0x1F}), std::string("\0", 1) + i7, ", 7\n", 5},
      {"restart discards the zero fill of the fixed pass", bytes({0x08, 0x1F}), marker4, " 0,0\n",
       4},
      {"8-byte integers", bytes({0x54, 0x5F}), bytes_of<int64_t>(INT64_MAX) + bytes_of<int64_t>(-1),
       " 9223372036854775807, -1\n", 16},
      {"width-0 fields show nothing", bytes({0x00, 0x20, 0x08}), i7 + bytes_of(1.5f) + i7,
       spaces(7) + "7\n", 12},
  };
  for (const line_case& c : cases) {
    line_writer_run run;
    EXPECT_EQ(run.write(c.format, c.data), 0) << c.name;
    EXPECT_EQ(run.output.text(), c.line) << c.name;
    EXPECT_EQ(run.read_pos, 1 + c.consumed) << c.name;
    EXPECT_EQ(run.lines_written, 1) << c.name;
    EXPECT_EQ(run.messages.text(), "") << c.name;
  }
}

TEST(LineWriter, MarkersAreComparedInTheFileByteOrder) {
  line_writer_run run;
  run.state->swap_needed = 1;
  run.state->zero_fill_marker_4 = __builtin_bswap32(0x80000000u);
  // This machine's marker is an ordinary value in a reversed file: bytes 00 00 00 80.
  const std::string data = bytes_of(INT32_MIN) + bytes_of(__builtin_bswap32(0x80000000u));
  EXPECT_EQ(run.write(bytes({0x0C, 0x0A, 0x0A}), data), 0);
  EXPECT_EQ(run.output.text(), "         128         0         0\n");
  EXPECT_EQ(run.read_pos, 1 + 8);
}

TEST(LineWriter, NeverReadsPastTheDataLimit) {
  struct limit_case {
    const char* name;
    std::string format;
    std::string data;
    int32_t limit;
    int32_t result;
  };
  const std::string i7 = bytes_of<int32_t>(7);
  const limit_case cases[] = {
      {"number cut by the limit", bytes({0x0A, 0x0A}), i7 + i7, 6, -1},
      {"8-byte number cut by the limit", bytes({0x50}), bytes_of<int64_t>(1), 7, -1},
      {"fixed string scan reaching the limit", bytes({0x88}), "abcdefgh", 7, -1},
      {"fixed string ending right at the limit", bytes({0x88}), "abcdefgh", 8, 0},
      {"zero-filled fields read nothing", bytes({0x0A, 0x0A, 0x54, 0x88}), bytes_of(INT32_MIN), 4,
       0},
      {"open-ended string without a zero before the limit", bytes({0x80}), std::string("abc\0", 4),
       3, -1},
  };
  for (const limit_case& c : cases) {
    line_writer_run run;
    EXPECT_EQ(run.write(c.format, c.data, c.limit), c.result) << c.name;
    if (c.result == -1) {
      EXPECT_EQ(run.output.text(), "") << c.name;
      EXPECT_EQ(run.read_pos, -1) << c.name;
      EXPECT_EQ(run.lines_written, 0) << c.name;
      EXPECT_NE(run.messages.text().find("at line 1\n"), std::string::npos) << c.name;
    }
  }
  line_writer_run run;
  run.write(bytes({0x0A, 0x0A}), i7 + i7, 6);
  EXPECT_EQ(run.messages.text(),
            "Record data runs past the end of the input in <write_formatted_line> at line 1\n");
}

TEST(LineWriter, OpenEndedStringMustLeaveRoomInTheLine) {
  struct room_case {
    int32_t prefix_width;  // a fixed string before it
    int32_t characters;
    int32_t result;
  };
  const room_case cases[] = {{0, 254, 0}, {0, 255, -1}, {100, 154, 0}, {100, 155, -1}};
  for (const room_case& c : cases) {
    line_writer_run run;
    std::string format;
    std::string data;
    if (c.prefix_width > 0) {
      format += static_cast<char>(0x80 | c.prefix_width);
      data += std::string(c.prefix_width, 'p');
    }
    format += static_cast<char>(0x80);
    data += std::string(c.characters, 'x') + std::string(1, '\0');
    EXPECT_EQ(run.write(format, data), c.result) << c.prefix_width << " " << c.characters;
    if (c.result == -1) {
      EXPECT_EQ(run.messages.text(),
                "Attempted buffer overrun copying open-ended C format in <write_formatted_line> "
                "at line 1\n");
    }
  }
}

TEST(LineWriter, HoldsTheWidestLineAFormatCanDescribe) {
  line_writer_run run;
  const std::string format(255, static_cast<char>(0xFE));  // 255 strings of 126 columns
  const std::string data(255 * 126, 'w');
  ASSERT_EQ(run.write(format, data), 0);
  EXPECT_EQ(run.output.text(), data + "\n");
}

TEST(LineWriter, WarnsOnceAboutValuesWrittenAsStars) {
  line_writer_run run;
  const std::string wide = bytes_of<int32_t>(123456789);
  const std::string fits = bytes_of<int32_t>(5);
  // A fixed pass thrown away by a free-format restart does not count.
  ASSERT_EQ(run.write(bytes({0x04, 0x1F}), wide + fits), 0);
  // A line that fails does not count.
  ASSERT_EQ(run.write(bytes({0x04, 0x04}), wide, 4), -1);
  ASSERT_EQ(run.write(bytes({0x0A, 0x06, 0x05}), fits + fits + wide), 0);
  ASSERT_EQ(run.write(bytes({0x04}), wide), 0);
  EXPECT_EQ(run.output.text(), " 123456789, 5\n         5     5*****\n****\n");
  EXPECT_EQ(run.messages.text(),
            "Record data runs past the end of the input in <write_formatted_line> at line 2\n"
            "Warning: value too wide for its 5-column field at line 2, written as '*'\n");
}

TEST(LineWriter, ZeroTextsTooWideForTheirFieldAreStars) {
  line_writer_run run;
  ASSERT_EQ(run.write(bytes({0x08, 0x22, 0x20, 0x00, 0x23}), bytes_of(INT32_MIN)), 0);
  EXPECT_EQ(run.output.text(), "       0**0.0\n");
  EXPECT_EQ(run.messages.text(),
            "Warning: value too wide for its 2-column field at line 1, written as '*'\n");
}

TEST(LineWriter, ReportsAFailedWrite) {
  line_writer_run run;
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::setvbuf(full, nullptr, _IONBF, 0);
  const uint8_t format[] = {0x0A};
  const std::string data = bytes_of<int32_t>(1);
  EXPECT_EQ(write_formatted_line(*run.state, full, format_entry{1, format},
                                 reinterpret_cast<const uint8_t*>(data.data()), 0, 4, &run.read_pos,
                                 &run.lines_written),
            -1);
  std::fclose(full);
  EXPECT_EQ(run.lines_written, 0);
  EXPECT_EQ(run.read_pos, -1);
  EXPECT_EQ(run.messages.text(),
            "Failed to write output buffer to file (only 0 of 11 characters output) at line 1\n");
}

}  // namespace
}  // namespace asciify
