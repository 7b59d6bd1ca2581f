// The text of the progress line, rendered from its numbers, the delay setting, and the display
// on a clock of the test's own: when it draws, and that it erases its line before every message
// and at the end.
#include "cli/progress.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tests/support/test_streams.h"

namespace asciify::cli {
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
  for (const auto& c : cases) EXPECT_EQ(format_progress_line("asciify", c.numbers), c.expected);
}

TEST(ProgressTimeLeft, RoundsUpAndSwitchesToHours) {
  const struct {
    int64_t remaining_bytes;
    double bytes_per_second;
    std::string expected;
  } cases[] = {
      // clang-format off
      {0, 1e6, "0:00"},            {1, 1e6, "0:01"},           {59'000'000, 1e6, "0:59"},
      {60'000'000, 1e6, "1:00"},   {3'599'000'000, 1e6, "59:59"},
      {3'600'000'000, 1e6, "1:00:00"},  {-5, 1e6, "0:00"},  {1000, 0, ""},  {1000, -1, ""},
      {1'000'000'000'000, 1e6, "277:46:40"},  {1'000'000'000'000'000'000, 1e-3, ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_time_left(c.remaining_bytes, c.bytes_per_second), c.expected)
        << c.remaining_bytes << " bytes at " << c.bytes_per_second << " bytes/s";
  }
}

TEST(ProgressDelay, ReadsMillisecondsFromTheEnvironment) {
  constexpr int d = kDefaultProgressDelayMs;  // what an unset or unusable value gives
  const struct {
    const char* value;  // nullptr: unset
    int expected;
  } cases[] = {{nullptr, d},   {"", d},   {"0", 0},    {"250", 250}, {"3600000", 3600000},
               {"3600001", d}, {"-1", d}, {"12ms", d}, {"x", d},     {"99999999999999999999", d}};
  for (const auto& c : cases) {
    test_support::set_environment("ASCIIFY_PROGRESS_DELAY_MS", c.value);
    EXPECT_EQ(progress_delay_from_environment("ASCIIFY_PROGRESS_DELAY_MS"), c.expected)
        << (c.value ? c.value : "unset");
  }
  test_support::set_environment("ASCIIFY_PROGRESS_DELAY_MS", nullptr);
}

// The display's clock: moved by hand.
std::chrono::steady_clock::time_point test_time;
std::chrono::steady_clock::time_point test_clock() {
  return test_time;
}
void advance(progress_display& display, int milliseconds, int64_t bytes, int64_t lines) {
  test_time += std::chrono::milliseconds(milliseconds);
  display.update(bytes, lines);
}

// Standard error goes into a temporary file until text() gives what reached it.
struct captured_standard_error {
  FILE* file = std::tmpfile();
  int saved = (std::fflush(stderr), dup(2));
  captured_standard_error() { dup2(fileno(file), 2); }
  ~captured_standard_error() { text(); }
  std::string text() {
    std::string bytes;
    if (file == nullptr) return bytes;
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::setvbuf(stderr, nullptr, _IONBF, 0);  // as before the display held the messages
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    std::fclose(file);
    file = nullptr;
    return bytes;
  }
};

std::string drawn_and_erased(const std::string& line) {
  return "\r" + line + "\r" + std::string(line.size(), ' ') + "\r";
}

TEST(ProgressDisplay, DrawsAfterTheDelayAndLetsMessagesOutOnCleanLines) {
  captured_standard_error captured;
  progress_display display("asciify", 1'000'000, false, 1000, test_clock);
  std::fputs("early\n", stderr);
  advance(display, 998, 100'000, 10);  // before the delay: no line, the message goes out
  advance(display, 2, 500'000, 50);    // drawn
  std::fputs("Warning: held\n", stderr);
  advance(display, 248, 600'000, 60);  // too soon to draw again: the warning waits
  advance(display, 2, 750'000, 75);    // erased, the warning, drawn again
  std::fputs("Error: last\n", stderr);
  display.finish();  // erased before the message
  EXPECT_EQ(captured.text(),
            "early\n" +
                drawn_and_erased("asciify: 0.5 of 1.0 MB, 50%, 0.5 MB/s, 50 lines, 0:01 left") +
                "Warning: held\n" +
                drawn_and_erased("asciify: 0.8 of 1.0 MB, 75%, 0.6 MB/s, 75 lines, 0:01 left") +
                "Error: last\n");
}

TEST(ProgressDisplay, NothingForARunShorterThanTheDelay) {
  captured_standard_error captured;
  progress_display display("asciify", -1, false, 1000, test_clock);
  advance(display, 500, 100'000, 10);
  std::fputs("Warning: late\n", stderr);
  advance(display, 499, 200'000, 20);
  display.finish();
  EXPECT_EQ(captured.text(), "Warning: late\n");
}

#ifndef _WIN32
// A run ended by a signal erases its line on the way out and ends by that signal.
TEST(ProgressDisplayDeathTest, ErasedWhenTheRunIsTerminated) {
  const auto drawn_then_terminated = [] {
    progress_display display("asciify", -1, false, 0, test_clock);
    advance(display, 5, 2'000'000, 7);
    std::raise(SIGTERM);
  };
  EXPECT_EXIT(drawn_then_terminated(), ::testing::KilledBySignal(SIGTERM),
              "^\rasciify: 2[.]0 MB, 400[.]0 MB/s, 7 lines\r {36}\r$");
}
#endif

}  // namespace
}  // namespace asciify::cli
