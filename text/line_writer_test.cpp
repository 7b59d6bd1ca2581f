// The line writer on data areas of its own; whole lines are checked end to end in
// tests/e2e/conversions_test.cpp.
#include "text/line_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/random_source.h"

namespace asciify {
namespace {

// The bytes of a value in this machine's byte order.
template <typename T>
std::string bytes_of(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Calls of the line writer on one state, with everything they produced.
struct line_writer_run {
  std::unique_ptr<conversion_state> state = std::make_unique<conversion_state>();
  testing::memory_stream output, messages;
  FILE* target = nullptr;  // where the lines go instead of `output`, when set
  int64_t lines_written = 0;
  int32_t read_pos = -1;

  line_writer_run() { state->messages = messages.file; }
  // The data start after one byte, as they do after a format code; `limit` counts data bytes.
  int32_t write(const std::string& format, const std::string& data, int32_t limit = -1) {
    const format_entry entry{static_cast<uint8_t>(format.size()),
                             reinterpret_cast<const uint8_t*>(format.data())};
    const std::string area = "C" + data;
    return write_formatted_line(*state, target != nullptr ? target : output.file, entry,
                                reinterpret_cast<const uint8_t*>(area.data()), 1,
                                1 + (limit < 0 ? int32_t(data.size()) : limit), &read_pos,
                                &lines_written);
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
    EXPECT_EQ(run.lines_written, 0) << c.name;
    EXPECT_TRUE(run.messages.text().ends_with(" in <write_formatted_line> at line 1\n")) << c.name;
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
    EXPECT_EQ(run.messages.text(), c.result == 0 ? ""
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
  EXPECT_EQ(run.messages.text(),
            "Record data runs past the end of the input in <write_formatted_line> at line 2\n"
            "Warning: value too wide for its 5-column field at line 2, written as '*'\n");
}

// A queued line is rendered in place behind the lines before it: its text, and every byte
// stored while it is written, must stay within the measured bound and the one byte of room
// after it. Random formats of every field format byte over random data (with zero-fill
// markers and zero bytes in strings), in both byte orders.
TEST(LineWriter, RenderedTextStaysWithinTheMeasuredBound) {
  testing::random_source random{11};
  const line_settings orders[2] = {{0x80000000u, 0x8000000000000000ull, 0},
                                   {0x00000080u, 0x0000000000000080ull, 1}};
  int32_t measured = 0, only_numbers = 0;
  for (int round = 0; round < 20000; ++round) {
    const line_settings& settings = orders[round % 2];
    std::vector<uint8_t> format(1 + random.below(12));
    for (uint8_t& byte : format) byte = static_cast<uint8_t>(random.below(256));
    std::vector<uint8_t> data(400);
    for (uint8_t& byte : data) {
      const uint64_t pick = random.below(10);
      byte = pick == 0 ? 0 : pick == 1 ? 0x80 : static_cast<uint8_t>(random.below(256));
    }
    line_measure measure{};
    if (!measure_line(settings, format.data(), static_cast<int32_t>(format.size()), data.data(), 0,
                      static_cast<int32_t>(data.size()), &measure)) {
      continue;
    }
    ++measured;
    const int32_t bound = measure.text_bound;
    // Rendered as queued; lines of numbers also the long way, which must give the same text.
    std::string texts[2];
    for (const bool only_numbers : {false, true}) {
      if (only_numbers && !measure.only_numbers) continue;
      std::vector<char> text(kLineBufferSize, '\x5A');
      int32_t star = 0;
      const int32_t length =
          render_line(settings, format.data(), static_cast<int32_t>(format.size()), data.data(),
                      measure.end, only_numbers, text.data(), &star);
      ASSERT_LE(length, bound) << "round " << round;
      ASSERT_EQ(text[length - 1], '\n') << "round " << round;
      for (int32_t i = bound + 1; i < kLineBufferSize; ++i) {
        ASSERT_EQ(text[i], '\x5A')
            << "round " << round << ": byte " << i << " past the bound " << bound;
      }
      texts[only_numbers ? 1 : 0].assign(text.data(), length);
    }
    if (measure.only_numbers) {
      ++only_numbers;
      ASSERT_EQ(texts[1], texts[0]) << "round " << round;
    }
  }
  EXPECT_GT(measured, 5000);
  EXPECT_GT(only_numbers, 500);
}

TEST(LineWriter, ReportsAFailedWrite) {
  line_writer_run run;
  run.target = std::fopen("/dev/full", "w");
  ASSERT_NE(run.target, nullptr);
  std::setvbuf(run.target, nullptr, _IONBF, 0);
  EXPECT_EQ(run.write("\x0A", bytes_of<int32_t>(1)), -1);
  EXPECT_EQ(run.lines_written, 0);
  EXPECT_EQ(run.read_pos, -1);
  EXPECT_EQ(run.messages.text(),
            "Failed to write output buffer to file (only 0 of 11 characters output) at line 1\n");
  std::fclose(run.target);
}

}  // namespace
}  // namespace asciify
