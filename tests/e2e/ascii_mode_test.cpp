// ASCII mode: lines are copied byte for byte, counted, and summarised.
#include <string>
#include <vector>

#include "tests/e2e/conversion_case.h"

namespace asciify::testing {
namespace {

std::string repeat_line(char fill, size_t length_with_newline) {
  return std::string(length_with_newline - 1, fill) + "\n";
}

std::vector<conversion_case> ascii_cases() {
  const std::string long_line = std::string(5000, 'x') + "\n";
  // A long line whose bytes after the first window look like a marker line.
  std::string disguised = std::string(600, 'y') + "*START_BINARY" + std::string(400, 'z') + "\n";
  std::string exactly_512;
  for (int i = 0; i < 32; ++i) exactly_512 += repeat_line('a' + i % 26, 16);
  std::string lines_256;
  for (int i = 0; i < 9; ++i) lines_256 += repeat_line('0' + i, 256);
  return {
      {"empty input", "", "", finished(0), "", 0},
      {"plain lines", "alpha\nbeta\n\ngamma\n", "alpha\nbeta\n\ngamma\n", finished(4), "", 0},
      {"carriage returns are kept", "one\r\ntwo\r\n", "one\r\ntwo\r\n", finished(2), "", 0},
      {"star line that is no marker", "*NODE\n*START_BIN\n", "*NODE\n*START_BIN\n", finished(2), "",
       0},
      {"last line without end of line is kept", "first\nlast", "first\nlast", finished(2), "", 0},
      {"only an unterminated line", "lonely", "lonely", finished(1), "", 0},
      {"unterminated star line", "a\n*NOTE", "a\n*NOTE", finished(2), "", 0},
      {"input of exactly 512 bytes", exactly_512, exactly_512, finished(32), "", 0},
      {"lines of exactly 256 bytes", lines_256, lines_256, finished(9), "", 0},
      {"line longer than the window", "a\n" + long_line + "b\n", "a\n" + long_line + "b\n",
       finished(3), "", 0},
      {"long last line without end of line", "a\n" + std::string(3000, 'q'),
       "a\n" + std::string(3000, 'q'), finished(2), "", 0},
      {"long last line ending at a read boundary", "a\n" + std::string(1534, 'y'),
       "a\n" + std::string(1534, 'y'), finished(2), "", 0},
      {"only a long line filling two reads", std::string(1024, 'x'), std::string(1024, 'x'),
       finished(1), "", 0},
      {"long line that looks like a marker after the first window", disguised, disguised,
       finished(1), "", 0},
      {"bytes of every value", std::string("\x01\x02\x7f\x80\xff\t\0z\n", 9),
       std::string("\x01\x02\x7f\x80\xff\t\0z\n", 9), finished(1), "", 0},
  };
}

class AsciiMode : public ::testing::TestWithParam<conversion_case> {};

TEST_P(AsciiMode, ConvertsExactly) {
  expect_conversion(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, AsciiMode, ::testing::ValuesIn(ascii_cases()));

}  // namespace
}  // namespace asciify::testing
