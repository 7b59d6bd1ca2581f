// Every way a conversion can fail, each after lines have been written: the run ends with status
// 2, one message and the failure summary, and the lines written before the error stay in the
// output file. Run both in this process and through the built executable.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

// Four lines, ending in ASCII mode.
encoder ascii_prefix() {
  return encoder{}
      .line("first")
      .start_binary()
      .text_record("second")
      .define(50, {0x0A})
      .byte(50)
      .i32(3)
      .end_binary()
      .line("third");
}
const std::string kAsciiPrefixOutput = "first\nsecond\n         3\nthird\n";
constexpr long long kAsciiPrefixLines = 4;

// Six lines, ending in binary mode.
encoder binary_prefix() {
  return ascii_prefix().start_binary().text_record("fourth").lsf8({0x08}).i32(5);
}
const std::string kBinaryPrefixOutput = kAsciiPrefixOutput + "fourth\n       5\n";
constexpr long long kBinaryPrefixLines = 6;

struct failure_case {
  std::string name;
  bool in_binary_mode;  // whether the failing bytes follow the binary-mode prefix
  std::string tail;     // the bytes that fail
  std::string message;  // "%L" stands for the number of the line being produced
};

std::ostream& operator<<(std::ostream& stream, const failure_case& c) {
  return stream << c.name;
}

std::string header(const std::string& text) {
  return "*START_BINARY\n" + text;
}

std::vector<failure_case> failure_cases() {
  const std::string native_header = header_line(order::native);
  return {
      // ASCII mode: markers and headers.
      {"start marker without end of line", false, "*START_BINARY",
       "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n"},
      {"unparsable header", false, header("not a header\n"),
       "Error parsing data line following *START_BINARY, cannot continue.\n"},
      {"newer version", false, encoder{}.start_binary(order::native, 1, 1).bytes,
       "Version mismatch. This executable is 1.0 but file format is 1.1\n"},
      {"unknown byte order", false, header("         1         0  02000000  0000803f\n"),
       "Format mismatch. Binary format of file does not match that of this computer.\n"},
      {"header without end of line", false,
       header(native_header.substr(0, native_header.size() - 1)),
       "Failed to find <end_of_line> after data line following *START_BINARY when reading in "
       "ASCII mode.\n"},
      {"suspend in ASCII mode", false, "*SUSPEND_BINARY\n",
       "Encountered *SUSPEND_BINARY when already in ASCII mode.\n"},
      {"end in ASCII mode", false, "*END_BINARY\n",
       "Encountered *END_BINARY when already in ASCII mode.\n"},
      {"resume without end of line", false, "*RESUME_BINARY",
       "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII mode.\n"},
      // Binary mode: markers.
      {"start in binary mode", true, encoder{}.text_record("*START_BINARY").bytes,
       "Encountered *START_BINARY when already in binary mode.\n"},
      {"resume in binary mode", true, encoder{}.text_record("*RESUME_BINARY").bytes,
       "Encountered *RESUME_BINARY when already in BINARY mode.\n"},
      // Text lines and format resets.
      {"text without its zero byte", true,
       "\x03"
       "abc",
       "Failed to find zero-termination of string starting a at line %L\n"},
      {"reset cut short", true, "\x04", "Buffer too short in <reset_format> at line %L\n"},
      {"reset of a reserved code", true, encoder{}.reset(20).bytes,
       "Attempt to reset reserved format code 20 in <reset_format> at line %L\n"},
      // Cached formats.
      {"definition without its zero byte", true, "\x33\x0a\x0a",
       "Error reading new format 51 in <process_formatted_line> at line %L\n"},
      {"definition of 256 fields", true,
       encoder{}.byte(52).raw(std::string(256, '\x08')).byte(0).bytes,
       "Format has more than 255 fields in <process_formatted_line> at line %L\n"},
      {"data cut short", true, encoder{}.define(53, {0x0A, 0x0A}).byte(53).i32(1).raw("xy").bytes,
       "Record data runs past the end of the input in <write_formatted_line> at line %L\n"},
      {"open-ended string without its zero byte", true,
       encoder{}.define(54, {0x80}).byte(54).raw("open").bytes,
       "Error reading open-ended C format in <write_formatted_line> at line %L\n"},
      {"open-ended string too long for a line", true,
       encoder{}.define(55, {0x80}).byte(55).str(std::string(255, 'x')).bytes,
       "Attempted buffer overrun copying open-ended C format in <write_formatted_line> at line "
       "%L\n"},
      // Line-specific formats.
      {"packed format without its zero code", true, "\x01\x12\x34",
       "FC_LSF4 formatting error at line %L\n"},
      {"plain format without its zero byte", true, "\x02\x0a\x0a",
       "FC_LSF8 formatting error at line %L\n"},
      {"plain format of 256 fields", true,
       encoder{}.byte(2).raw(std::string(256, '\x08')).byte(0).bytes,
       "Format has more than 255 fields in <process_lsf_line> at line %L\n"},
      // Hard-wired layouts.
      {"long code without its selector", true, "\x21",
       "Record data runs past the end of the input in <process_hardwired_line> at line %L\n"},
      {"packed long format of 20 codes", true,
       encoder{}.fsf4(30, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}).bytes,
       "Error parsing 'long' FSF4 format code in <process_hardwired_line> at line %L\n"},
      {"plain long format of 20 bytes", true,
       encoder{}.fsf8(30, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}).bytes,
       "Error parsing 'long' FSF8 format code in <process_hardwired_line> at line %L\n"},
      {"selector naming an empty slot", true, encoder{}.byte(30).byte(99).bytes,
       "Error parsing 'long' cached format code 99 in <process_hardwired_line> at line %L\n"},
      {"reserved code", true, encoder{}.byte(25).bytes,
       "Found unknown reserved format code 25 in <process_hardwired_line> at line %L\n"},
      {"long format shorter than its layout", true, encoder{}.fsf8(33, {8, 8}).bytes,
       "'long' format too short for format code 33 in <process_hardwired_line> at line %L\n"},
      {"hard-wired record cut short", true, encoder{}.byte(16).i32(1).i32(2).bytes,
       "Buffer overrun in <copy_buffer> on line %L\n"},
  };
}

std::string with_line_number(std::string message, long long line) {
  const size_t at = message.find("%L");
  if (at != std::string::npos) message.replace(at, 2, std::to_string(line));
  return message;
}

struct expectation {
  std::string input;
  std::string output;
  std::string messages;
};

expectation expected_for(const failure_case& c) {
  const std::string prefix = c.in_binary_mode ? binary_prefix().bytes : ascii_prefix().bytes;
  const long long lines = c.in_binary_mode ? kBinaryPrefixLines : kAsciiPrefixLines;
  return {prefix + c.tail, c.in_binary_mode ? kBinaryPrefixOutput : kAsciiPrefixOutput,
          with_line_number(c.message, lines + 1) + failed_summary(lines)};
}

class FailurePaths : public ::testing::TestWithParam<failure_case> {};

TEST_P(FailurePaths, InProcessKeepTheLinesBeforeTheError) {
  const expectation e = expected_for(GetParam());
  const conversion_capture run = convert_in_memory(e.input);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, e.output);
  EXPECT_EQ(run.messages, e.messages);
  EXPECT_EQ(run.info, "");
}

TEST_P(FailurePaths, ExecutableKeepsTheLinesBeforeTheErrorInTheOutputFile) {
  const expectation e = expected_for(GetParam());
  const command_result run = convert_file(e.input);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, e.output);
  EXPECT_EQ(run.err, e.messages);
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailurePaths, ::testing::ValuesIn(failure_cases()),
                         [](const ::testing::TestParamInfo<failure_case>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(FailurePaths, PrefixesConvertCleanlyOnTheirOwn) {
  const conversion_capture ascii = convert_in_memory(ascii_prefix().bytes);
  EXPECT_EQ(ascii.output, kAsciiPrefixOutput);
  EXPECT_EQ(ascii.info, finished_summary(kAsciiPrefixLines));
  const conversion_capture binary = convert_in_memory(binary_prefix().bytes);
  EXPECT_EQ(binary.output, kBinaryPrefixOutput);
  EXPECT_EQ(binary.info, finished_summary(kBinaryPrefixLines));
}

}  // namespace
}  // namespace asciify::testing
