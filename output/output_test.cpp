// The line writer of a run's output; whole lines are checked end to end in
// tests/e2e/conversions_test.cpp, failed writes in tests/robustness/io_failures_test.cpp.
#include "output/output.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/convert_in_memory.h"

namespace asciify {
namespace {

// The bytes of a value in this machine's byte order.
template <typename T>
std::string bytes_of(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Calls of the line writer on one output, with everything they produced.
struct line_writer_run {
  test_support::memory_output output;
  int32_t read_pos = -1;

  int64_t lines_written() const { return output.out->lines_written; }
  std::string messages() { return output.messages.text(); }
  // The data start after one byte, as they do after a format code; `limit` counts data bytes.
  int32_t write(const std::string& format, const std::string& data, int32_t limit = -1) {
    const format_entry entry{static_cast<uint8_t>(format.size()),
                             reinterpret_cast<const uint8_t*>(format.data())};
    const std::string area = "C" + data;
    const line_settings native{0x80000000u, 0x8000000000000000ull, 0};
    const std::optional<int32_t> end = write_formatted_line(
        *output.out, native, entry, reinterpret_cast<const uint8_t*>(area.data()), 1,
        1 + (limit < 0 ? int32_t(data.size()) : limit));
    if (end) read_pos = *end;
    return end ? 0 : -1;
  }
};

// Bytes past the limit exist and would complete the record; they must not be read.
TEST(LineWriter, NeverReadsPastTheDataLimit) {
  const std::string i7 = bytes_of<int32_t>(7);
  const struct {
    const char* name;
    std::string format, data;
    int32_t limit, result;
  } cases[] = {
      {"number cut by the limit", "\x0A\x0A", i7 + i7, 6, -1},
      {"8-byte number cut by the limit", "\x50", bytes_of<int64_t>(1), 7, -1},
      {"fixed string scan reaching the limit", "\x88", "abcdefgh", 7, -1},
      {"fixed string ending right at the limit", "\x88", "abcdefgh", 8, 0},
      {"zero-filled fields read nothing", "\x0A\x0A\x54\x88", bytes_of(INT32_MIN), 4, 0},
      {"open-ended string without a zero before the limit", "\x80", std::string("abc\0", 4), 3, -1},
  };
  for (const auto& c : cases) {
    line_writer_run run;
    EXPECT_EQ(run.write(c.format, c.data, c.limit), c.result) << c.name;
    if (c.result == 0) continue;
    EXPECT_EQ(run.output.text(), "") << c.name;
    EXPECT_EQ(run.read_pos, -1) << c.name;
    EXPECT_EQ(run.lines_written(), 0) << c.name;
    EXPECT_TRUE(run.messages().ends_with(" in <write_formatted_line> at line 1\n")) << c.name;
  }
}

TEST(LineWriter, OpenEndedStringMustLeaveRoomInTheLine) {
  const struct {
    int32_t prefix_width;  // a fixed string before it
    int32_t characters;
    int32_t result;
  } cases[] = {{0, 254, 0}, {0, 255, -1}, {100, 154, 0}, {100, 155, -1}};
  for (const auto& c : cases) {
    line_writer_run run;
    std::string format, data;
    if (c.prefix_width > 0) {
      format += static_cast<char>(0x80 | c.prefix_width);
      data += std::string(c.prefix_width, 'p');
    }
    format += static_cast<char>(0x80);
    data += std::string(c.characters, 'x') + std::string(1, '\0');
    EXPECT_EQ(run.write(format, data), c.result) << c.prefix_width << " " << c.characters;
    EXPECT_EQ(run.messages(), c.result == 0 ? ""
                                            : "Attempted buffer overrun copying open-ended C "
                                              "format in <write_formatted_line> at line 1\n");
  }
}

TEST(LineWriter, WarnsOnceAboutValuesWrittenAsStars) {
  line_writer_run run;
  const std::string wide = bytes_of<int32_t>(123456789);
  const std::string fits = bytes_of<int32_t>(5);
  // A fixed pass thrown away by a free-format restart does not count.
  ASSERT_EQ(run.write("\x04\x1F", wide + fits), 0);
  // A line that fails does not count.
  ASSERT_EQ(run.write("\x04\x04", wide, 4), -1);
  ASSERT_EQ(run.write("\x0A\x06\x05", fits + fits + wide), 0);
  ASSERT_EQ(run.write("\x04", wide), 0);
  EXPECT_EQ(run.output.text(), " 123456789, 5\n         5     5*****\n****\n");
  EXPECT_EQ(run.messages(),
            "Record data runs past the end of the input in <write_formatted_line> at line 2\n"
            "Warning: value too wide for its 5-column field at line 2, written as '*'\n");
}

}  // namespace
}  // namespace asciify
