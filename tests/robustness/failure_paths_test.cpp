// Every way a conversion can fail, each after lines have been written, through the built
// executable: status 2, exactly one message, where in the input and why, and the failure
// summary on standard error, nothing on standard output, and the lines written before the
// error kept in the output file.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

struct failure_case {
  const char* name;
  bool in_binary_mode;  // whether the failing bytes follow the prefix that ends in binary mode
  bytes_in tail;        // the bytes that fail
  std::string message;  // "%L" stands for the number of the line being produced
  size_t item = 0;      // where in the tail the item that fails begins
};

void PrintTo(const failure_case& c, std::ostream* os) {
  *os << c.name;
}

const bool in_ascii = false;
const bool in_binary = true;
encoder records() {
  return encoder{};
}
std::string after_start_line(const std::string& header_text) {
  return "*START_BINARY\n" + header_text;
}
std::string hardwired_message(const std::string& what) {
  return what + " in <process_hardwired_line> at line %L\n";
}

// clang-format off
std::vector<failure_case> failure_cases() {
  const std::string native = header_line(order::native);
  const std::string past_end = "Record data runs past the end of the input in ";
  return {
    // ASCII mode: markers and headers.
    {"start marker without end of line", in_ascii, "*START_BINARY",
     "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n"},
    {"header of nine items", in_ascii,
     after_start_line(native.substr(0, native.size() - 3) + "\nzz\n"),
     "Error parsing data line following *START_BINARY, cannot continue.\n"},
    {"version 1.1", in_ascii, records().start_binary(order::native, 1, 1),
     "Version mismatch. This executable is 1.0 but file format is 1.1\n"},
    {"version 0.1", in_ascii, records().start_binary(order::native, 0, 1),
     "Version mismatch. This executable is 1.0 but file format is 0.1\n"},
    {"version 2.0", in_ascii, records().start_binary(order::reversed, 2, 0),
     "Version mismatch. This executable is 1.0 but file format is 2.0\n"},
    {"probes of no known byte order", in_ascii,
     after_start_line("         1         0  02000000  0000803f\n"),
     "Format mismatch. Binary format of file does not match that of this computer.\n"},
    {"header without end of line", in_ascii, after_start_line(native.substr(0, native.size() - 1)),
     "Failed to find <end_of_line> after data line following *START_BINARY when reading in "
     "ASCII mode.\n"},
    {"suspend in ASCII mode", in_ascii, "*SUSPEND_BINARY\n",
     "Encountered *SUSPEND_BINARY when already in ASCII mode.\n"},
    {"end in ASCII mode", in_ascii, "*END_BINARY\n",
     "Encountered *END_BINARY when already in ASCII mode.\n"},
    {"resume without end of line", in_ascii, "*RESUME_BINARY",
     "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII mode.\n"},
    // Binary mode: markers, text lines and format resets.
    {"start in binary mode", in_binary, records().text_record("*START_BINARY"),
     "Encountered *START_BINARY when already in binary mode.\n"},
    {"resume in binary mode", in_binary, records().text_record("*RESUME_BINARY"),
     "Encountered *RESUME_BINARY when already in BINARY mode.\n"},
    {"text without its zero byte", in_binary, "\x03" "abc",
     "Failed to find zero-termination of string starting a at line %L\n"},
    {"text code as the last byte", in_binary, "\x03",
     "Failed to find zero-termination of string starting   at line %L\n"},
    {"cut-off star text writes no dollar line", in_binary, "\x03*SUSP",
     "Failed to find zero-termination of string starting * at line %L\n"},
    {"reset cut short", in_binary, "\x04", "Buffer too short in <reset_format> at line %L\n"},
    {"reset of code 0", in_binary, records().reset(0),
     "Attempt to reset reserved format code 0 in <reset_format> at line %L\n"},
    {"reset of code 49", in_binary, records().reset(49),
     "Attempt to reset reserved format code 49 in <reset_format> at line %L\n"},
    // Cached formats.
    {"definition without its zero byte", in_binary, "\x33\x0a\x0a",
     "Error reading new format 51 in <process_formatted_line> at line %L\n"},
    {"definition of 256 fields", in_binary, records().define(52, std::vector<uint8_t>(256, 8)),
     "Format has more than 255 fields in <process_formatted_line> at line %L\n"},
    {"data cut short", in_binary, records().define(53, {0x0A, 0x0A}).byte(53).i32(1).raw("xy"),
     past_end + "<write_formatted_line> at line %L\n", 4},
    {"fixed string cut short", in_binary, records().define(57, {0x88}).byte(57).raw("abc"),
     past_end + "<write_formatted_line> at line %L\n", 3},
    {"open-ended string without its zero byte", in_binary,
     records().define(54, {0x80}).byte(54).raw("open"),
     "Error reading open-ended C format in <write_formatted_line> at line %L\n", 3},
    {"open-ended string too long for a line", in_binary,
     records().define(55, {0x80}).byte(55).str(std::string(255, 'x')),
     "Attempted buffer overrun copying open-ended C format in <write_formatted_line> at line %L\n",
     3},
    // Line-specific formats.
    {"packed format without its zero code", in_binary, "\x01\x12\x34",
     "FC_LSF4 formatting error at line %L\n"},
    {"plain format without its zero byte", in_binary, "\x02\x0a\x0a",
     "FC_LSF8 formatting error at line %L\n"},
    {"plain format of 256 fields", in_binary, records().lsf8(std::vector<uint8_t>(256, 8)),
     "Format has more than 255 fields in <process_lsf_line> at line %L\n"},
    {"packed format of 256 fields", in_binary,
     records().byte(1).raw(std::string(128, '\x11')).byte(0).marker4(),
     "Format has more than 255 fields in <process_lsf_line> at line %L\n"},
    // Hard-wired layouts.
    {"long code without its selector", in_binary, "\x21",
     past_end + "<process_hardwired_line> at line %L\n"},
    {"packed long format of 20 codes", in_binary, records().fsf4(30, std::vector<uint8_t>(20, 1)),
     hardwired_message("Error parsing 'long' FSF4 format code")},
    {"plain long format of 20 bytes", in_binary, records().fsf8(30, std::vector<uint8_t>(20, 8)),
     hardwired_message("Error parsing 'long' FSF8 format code")},
    {"packed selector with nothing after it", in_binary, records().byte(30).byte(1),
     hardwired_message("Error parsing 'long' FSF4 format code")},
    {"plain selector with nothing after it", in_binary, records().byte(31).byte(2),
     hardwired_message("Error parsing 'long' FSF8 format code")},
    {"selector 3", in_binary, records().byte(30).byte(3),
     hardwired_message("Error parsing 'long' cached format code 3")},
    {"selector naming an empty slot", in_binary, records().byte(37).byte(99),
     hardwired_message("Error parsing 'long' cached format code 99")},
    {"reserved code 0", in_binary, records().byte(0),
     hardwired_message("Found unknown reserved format code 0")},
    {"reserved code 9", in_binary, records().byte(9),
     hardwired_message("Found unknown reserved format code 9")},
    {"reserved code 18", in_binary, records().byte(18),
     hardwired_message("Found unknown reserved format code 18")},
    {"reserved code 29", in_binary, records().byte(29).i32s({1, 2, 3, 4}),
     hardwired_message("Found unknown reserved format code 29")},
    {"reserved long code with a valid format", in_binary,
     records().fsf8(38, {8, 8, 8, 8}).i32s({1, 2, 3, 4}),
     hardwired_message("Found unknown reserved format code 38")},
    {"reserved long code with a bad selector", in_binary, records().byte(49).byte(9),
     hardwired_message("Error parsing 'long' cached format code 9")},
    {"reserved long code with a short format", in_binary, records().fsf8(45, {8}),
     hardwired_message("Found unknown reserved format code 45")},
    {"long format one field short", in_binary,
     records().fsf8(35, {8, 8, 8, 8, 8, 8, 8}).i32s({1, 2, 3, 4, 5, 6, 7, 8}),
     hardwired_message("'long' format too short for format code 35")},
    {"long format shorter than its layout", in_binary, records().fsf8(35, {8, 8, 8}).i32(1),
     hardwired_message("'long' format too short for format code 35")},
    {"number cut short", in_binary, records().byte(16).i32(1).i32(2),
     "Buffer overrun in <copy_buffer> on line %L\n"},
    {"fixed string cut short in a hard-wired record", in_binary,
     records().fsf8(30, {0x88, 8, 8, 8}).raw("abcdefg"),
     "Buffer overrun in <copy_buffer> on line %L\n"},
    {"open-ended string without its zero byte in a hard-wired record", in_binary,
     records().fsf8(30, {0x80, 0x2A, 0x2A, 0x2A}).raw("name"),
     "Buffer overrun in <copy_buffer> on line %L\n"},
  };
}
// clang-format on

class FailurePaths : public ::testing::TestWithParam<failure_case> {};

TEST_P(FailurePaths, KeepTheLinesBeforeTheError) {
  const failure_case& c = GetParam();
  // The ASCII prefix writes four lines; the binary one six, after which the section is open.
  encoder prefix = encoder{}.line("first").start_binary().text_record("second");
  prefix.define(50, {0x0A}).byte(50).i32(3).end_binary().line("third");
  std::string output = "first\nsecond\n         3\nthird\n";
  if (c.in_binary_mode) {
    prefix.start_binary().text_record("fourth").lsf8({0x08}).i32(5);
    output += "fourth\n       5\n";
  }
  const long long lines = c.in_binary_mode ? 6 : 4;
  std::string message = c.message;
  if (const size_t at = message.find("%L"); at != std::string::npos) {
    message.replace(at, 2, std::to_string(lines + 1));
  }
  ASSERT_EQ(convert_in_memory(prefix.bytes).output, output) << "the prefix on its own";
  const command_result run = convert_file(prefix.bytes + c.tail.bytes);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, output);
  // The message, where in the input the failing item begins and why, the summary.
  const std::string where =
      "asciify: input byte " + std::to_string(prefix.bytes.size() + c.item) + ": ";
  ASSERT_TRUE(run.err.starts_with(message + where)) << run.err;
  const std::string_view explanation =
      std::string_view(run.err).substr(message.size() + where.size());
  EXPECT_TRUE(explanation.ends_with(failed_summary(lines))) << run.err;
  EXPECT_GT(explanation.find('\n'), 40u) << run.err;
  EXPECT_EQ(explanation.find('\n') + 1 + failed_summary(lines).size(), explanation.size());
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailurePaths, ::testing::ValuesIn(failure_cases()));

}  // namespace
}  // namespace asciify::test_support
