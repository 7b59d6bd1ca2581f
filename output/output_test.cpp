// The line writer of a run's output; whole lines are checked end to end in
// tests/e2e/conversions_test.cpp, failed writes in tests/robustness/io_failures_test.cpp.
#include "output/output.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/memory_output.h"

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

  // The data start after one byte, as they do after a format code; `limit` counts data bytes.
  // Returns whether the line was written.
  bool write(const std::string& format, const std::string& data, int32_t limit = -1) {
    const format_entry entry{static_cast<uint8_t>(format.size()),
                             reinterpret_cast<const uint8_t*>(format.data())};
    const std::string area = "C" + data;
    const line_settings native{0x80000000u, 0x8000000000000000ull, 0};
    const std::optional<int32_t> end = write_formatted_line(
        *output.out, native, entry, reinterpret_cast<const uint8_t*>(area.data()), 1,
        1 + (limit < 0 ? int32_t(data.size()) : limit));
    if (end) read_pos = *end;
    return end.has_value();
  }
};

// Bytes past the limit exist and would complete the record; they must not be read. An
// open-ended string must leave room in the line, also after a fixed string before it.
TEST(LineWriter, NeverReadsPastTheDataLimitNorWritesPastTheLine) {
  const std::string i7 = bytes_of<int32_t>(7), x254(254, 'x'), x255(255, 'x');
  const std::string fixed_100 = "\xE4", p100(100, 'p'), zero(1, '\0');
  const std::string past_end = "Record data runs past the end of the input";
  const std::string overrun = "Attempted buffer overrun copying open-ended C format";
  const struct {
    const char* name;
    std::string format, data;
    int32_t limit;
    std::string message;  // "" when the line is written
  } cases[] = {
      {"number cut by the limit", "\x0A\x0A", i7 + i7, 6, past_end},
      {"8-byte number cut by the limit", "\x50", bytes_of<int64_t>(1), 7, past_end},
      {"fixed string scan reaching the limit", "\x88", "abcdefgh", 7, past_end},
      {"fixed string ending right at the limit", "\x88", "abcdefgh", 8, ""},
      {"zero-filled fields read nothing", "\x0A\x0A\x54\x88", bytes_of(INT32_MIN), 4, ""},
      {"open-ended string without a zero before the limit", "\x80", std::string("abc\0", 4), 3,
       "Error reading open-ended C format"},
      {"open-ended string of 254", "\x80", x254 + zero, -1, ""},
      {"open-ended string of 255", "\x80", x255 + zero, -1, overrun},
      {"open-ended string of 154 after 100", fixed_100 + "\x80", p100 + x254.substr(100) + zero, -1,
       ""},
      {"open-ended string of 155 after 100", fixed_100 + "\x80", p100 + x255.substr(100) + zero, -1,
       overrun},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    line_writer_run run;
    EXPECT_EQ(run.write(c.format, c.data, c.limit), c.message.empty());
    if (c.message.empty()) {
      EXPECT_EQ(run.output.captured.messages, "");
      continue;
    }
    EXPECT_EQ(run.output.text(), "");
    EXPECT_EQ(run.read_pos, -1);
    EXPECT_EQ(run.output.out->lines_written, 0);
    EXPECT_EQ(run.output.captured.messages, c.message + " in <write_formatted_line> at line 1\n");
  }
}

TEST(LineWriter, WarnsOnceAboutValuesWrittenAsStars) {
  line_writer_run run;
  const std::string wide = bytes_of<int32_t>(123456789);
  const std::string fits = bytes_of<int32_t>(5);
  // A fixed pass thrown away by a free-format restart does not count.
  ASSERT_TRUE(run.write("\x04\x1F", wide + fits));
  // A line that fails does not count.
  ASSERT_FALSE(run.write("\x04\x04", wide, 4));
  ASSERT_TRUE(run.write("\x0A\x06\x05", fits + fits + wide));
  ASSERT_TRUE(run.write("\x04", wide));
  EXPECT_EQ(run.output.text(), " 123456789, 5\n         5     5*****\n****\n");
  EXPECT_EQ(run.output.captured.messages,
            "Record data runs past the end of the input in <write_formatted_line> at line 2\n"
            "Warning: value too wide for its 5-column field at line 2, written as '*'\n");
}

}  // namespace
}  // namespace asciify
