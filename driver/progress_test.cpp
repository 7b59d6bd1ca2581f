// The text of the progress line, rendered from its numbers, and the delay setting.
#include "driver/progress.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_streams.h"

namespace asciify {
namespace {

TEST(ProgressLine, RendersTheNumbers) {
  // clang-format off
  const struct {
    progress_numbers numbers;
    std::string expected;
  } cases[] = {
      {{45'200'000, 200'000'000, 1'234'567, 2.0},
       "asciify: 45.2 of 200.0 MB, 22%, 22.6 MB/s, 1234567 lines, 0:07 left"},
      {{45'200'000, -1, 1'234'567, 2.0}, "asciify: 45.2 MB, 22.6 MB/s, 1234567 lines"},
      {{199'999'999, 200'000'000, 10, 1.0},
       "asciify: 200.0 of 200.0 MB, 99%, 200.0 MB/s, 10 lines, 0:01 left"},
      {{200'000'000, 200'000'000, 10, 4.0},
       "asciify: 200.0 of 200.0 MB, 100%, 50.0 MB/s, 10 lines, 0:00 left"},
      {{300'000'000, 200'000'000, 10, 3.0},
       "asciify: 300.0 of 200.0 MB, 100%, 100.0 MB/s, 10 lines, 0:00 left"},
      {{0, 0, 0, 1.0}, "asciify: 0.0 of 0.0 MB, 100%, 0.0 MB/s, 0 lines"},
      {{512, 1'000'000, 0, 0.0}, "asciify: 0.0 of 1.0 MB, 0%, 0.0 MB/s, 0 lines"},
      {{100, -1, 1, 1.0}, "asciify: 0.0 MB, 0.0 MB/s, 1 line"},
      {{1'000'000, 10'000'000'000, 5, 1.0},
       "asciify: 1.0 of 10000.0 MB, 0%, 1.0 MB/s, 5 lines, 2:46:39 left"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(format_progress_line(c.numbers), c.expected);
}

TEST(ProgressTimeLeft, RoundsUpAndSwitchesToHours) {
  const struct {
    int64_t remaining_bytes;
    double bytes_per_second;
    std::string expected;
  } cases[] = {
      {0, 1e6, "0:00"},
      {1, 1e6, "0:01"},
      {59'000'000, 1e6, "0:59"},
      {60'000'000, 1e6, "1:00"},
      {3'599'000'000, 1e6, "59:59"},
      {3'600'000'000, 1e6, "1:00:00"},
      {-5, 1e6, "0:00"},
      {1000, 0, ""},
      {1000, -1, ""},
      {1'000'000'000'000, 1e6, "277:46:40"},
      {1'000'000'000'000'000'000, 1e-3, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_time_left(c.remaining_bytes, c.bytes_per_second), c.expected)
        << c.remaining_bytes << " bytes at " << c.bytes_per_second << " bytes/s";
  }
}

TEST(ProgressDelay, ReadsMillisecondsFromTheEnvironment) {
  const struct {
    const char* value;  // nullptr: unset
    int expected;
  } cases[] = {
      {nullptr, kDefaultProgressDelayMs},
      {"", kDefaultProgressDelayMs},
      {"0", 0},
      {"250", 250},
      {"3600000", 3600000},
      {"3600001", kDefaultProgressDelayMs},
      {"-1", kDefaultProgressDelayMs},
      {"12ms", kDefaultProgressDelayMs},
      {"x", kDefaultProgressDelayMs},
      {"99999999999999999999", kDefaultProgressDelayMs},
  };
  for (const auto& c : cases) {
    testing::set_environment("ASCIIFY_PROGRESS_DELAY_MS", c.value);
    EXPECT_EQ(progress_delay_from_environment(), c.expected) << (c.value ? c.value : "unset");
  }
  testing::set_environment("ASCIIFY_PROGRESS_DELAY_MS", nullptr);
}

}  // namespace
}  // namespace asciify
