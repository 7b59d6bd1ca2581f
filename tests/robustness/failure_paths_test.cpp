// Every way a conversion can fail, each after lines have been written, through the built
// executable: status 2, exactly one message, where in the input and why, and the failure
// summary on standard error, nothing on standard output, and the lines written before the
// error kept in the output file.
#include <gtest/gtest.h>

#include <algorithm>
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
  bool in_binary_mode;       // whether the failing bytes follow the prefix that ends in binary mode
  bytes_in tail;             // the bytes that fail
  std::string message;       // "%L" stands for the number of the line being produced
  size_t item = 0;           // where in the tail the item that fails begins
  const char* written = "";  // the lines the failing item writes before it fails
};

void PrintTo(const failure_case& c, std::ostream* os) {
  *os << c.name;
}

const bool ascii = false, binary = true;
encoder records() {
  return encoder{};
}
std::vector<uint8_t> fields(size_t count, uint8_t code) {
  return std::vector<uint8_t>(count, code);
}
std::string after_start_line(const std::string& header_text) {
  return "*START_BINARY\n" + header_text;
}
// The end of a message naming the function that found the fault and the line being produced.
std::string found_in(const char* function) {
  return std::string(" in <") + function + "> at line %L\n";
}

// clang-format off
std::vector<failure_case> failure_cases() {
  const std::string native = header_line(order::native);
  const std::string past_end = "Record data runs past the end of the input";
  const std::string copy_overrun = "Buffer overrun in <copy_buffer> on line %L\n";
  const std::string hardwired = found_in("process_hardwired_line");
  const std::string written = found_in("write_formatted_line");
  const std::string lsf = found_in("process_lsf_line"), cached = found_in("process_formatted_line");
  const std::string long_fsf4 = "Error parsing 'long' FSF4 format code" + hardwired;
  const std::string long_fsf8 = "Error parsing 'long' FSF8 format code" + hardwired;
  const std::string reserved = "Found unknown reserved format code ";
  const std::string version = "Version mismatch. This executable is 1.0 but file format is ";
  const std::string unterminated = "Failed to find zero-termination of string starting ";
  const std::string long_cached = "Error parsing 'long' cached format code ";
  const std::string too_many = "Format has more than 255 fields";
  const std::string reset = found_in("reset_format");
  const std::string too_short = "'long' format too short for format code 35" + hardwired;
  return {
    // ASCII mode: markers and headers.
    {"start marker without end of line", ascii, "*START_BINARY",
     "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n"},
    {"header of nine items", ascii,
     after_start_line(native.substr(0, native.size() - 3) + "\nzz\n"),
     "Error parsing data line following *START_BINARY, cannot continue.\n"},
    {"version 1.1", ascii, records().start_binary(order::native, 1, 1), version + "1.1\n"},
    {"version 0.1", ascii, records().start_binary(order::native, 0, 1), version + "0.1\n"},
    {"version 2.0", ascii, records().start_binary(order::reversed, 2, 0), version + "2.0\n"},
    {"probes of no known byte order", ascii,
     after_start_line("         1         0  02000000  0000803f\n"),
     "Format mismatch. Binary format of file does not match that of this computer.\n"},
    {"header without end of line", ascii, after_start_line(native.substr(0, native.size() - 1)),
     "Failed to find <end_of_line> after data line following *START_BINARY when reading in "
     "ASCII mode.\n"},
    {"suspend in ASCII mode", ascii, "*SUSPEND_BINARY\n",
     "Encountered *SUSPEND_BINARY when already in ASCII mode.\n"},
    {"end in ASCII mode", ascii, "*END_BINARY\n",
     "Encountered *END_BINARY when already in ASCII mode.\n"},
    {"resume without end of line", ascii, "*RESUME_BINARY",
     "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII mode.\n"},
    // Binary mode: markers, text lines and format resets.
    {"start in binary mode", binary, records().text_record("*START_BINARY"),
     "Encountered *START_BINARY when already in binary mode.\n"},
    {"resume in binary mode", binary, records().text_record("*RESUME_BINARY"),
     "Encountered *RESUME_BINARY when already in BINARY mode.\n"},
    {"text without its zero byte", binary, "\x03" "abc", unterminated + "a at line %L\n"},
    {"text code as the last byte", binary, "\x03", unterminated + "  at line %L\n"},
    {"cut-off star text keeps its dollar line", binary, "\x03*SUSP",
     unterminated + "* at line %L\n", 0, "$\n"},
    {"reset cut short", binary, "\x04", "Buffer too short" + reset},
    {"reset of code 0", binary, records().reset(0),
     "Attempt to reset reserved format code 0" + reset},
    {"reset of code 49", binary, records().reset(49),
     "Attempt to reset reserved format code 49" + reset},
    // Cached formats.
    {"definition without its zero byte", binary, "\x33\x0a\x0a",
     "Error reading new format 51" + cached},
    {"definition of 256 fields", binary, records().define(52, fields(256, 8)), too_many + cached},
    {"data cut short", binary, records().define(53, {0x0A, 0x0A}).byte(53).i32(1).raw("xy"),
     past_end + written, 4},
    {"fixed string cut short", binary, records().define(57, {0x88}).byte(57).raw("abc"),
     past_end + written, 3},
    {"open-ended string without its zero byte", binary,
     records().define(54, {0x80}).byte(54).raw("open"),
     "Error reading open-ended C format" + written, 3},
    {"open-ended string too long for a line", binary,
     records().define(55, {0x80}).byte(55).str(std::string(255, 'x')),
     "Attempted buffer overrun copying open-ended C format" + written, 3},
    // Line-specific formats.
    {"packed format without its zero code", binary, "\x01\x12\x34",
     "FC_LSF4 formatting error at line %L\n"},
    {"plain format without its zero byte", binary, "\x02\x0a\x0a",
     "FC_LSF8 formatting error at line %L\n"},
    {"plain format of 256 fields", binary, records().lsf8(fields(256, 8)), too_many + lsf},
    {"packed format of 256 fields", binary,
     records().byte(1).raw(std::string(128, '\x11')).byte(0).marker4(),
     too_many + lsf},
    // Hard-wired layouts.
    {"long code without its selector", binary, "\x21", past_end + hardwired},
    {"packed long format of 20 codes", binary, records().fsf4(30, fields(20, 1)), long_fsf4},
    {"plain long format of 20 bytes", binary, records().fsf8(30, fields(20, 8)), long_fsf8},
    {"packed selector with nothing after it", binary, records().byte(30).byte(1), long_fsf4},
    {"plain selector with nothing after it", binary, records().byte(31).byte(2), long_fsf8},
    {"selector 3", binary, records().byte(30).byte(3), long_cached + "3" + hardwired},
    {"selector naming an empty slot", binary, records().byte(37).byte(99),
     long_cached + "99" + hardwired},
    {"reserved code 0", binary, records().byte(0), reserved + "0" + hardwired},
    {"reserved code 9", binary, records().byte(9), reserved + "9" + hardwired},
    {"reserved code 18", binary, records().byte(18), reserved + "18" + hardwired},
    {"reserved code 29", binary, records().byte(29).i32s({1, 2, 3, 4}),
     reserved + "29" + hardwired},
    {"reserved long code with a valid format", binary,
     records().fsf8(38, {8, 8, 8, 8}).i32s({1, 2, 3, 4}), reserved + "38" + hardwired},
    {"reserved long code with a bad selector", binary, records().byte(49).byte(9),
     long_cached + "9" + hardwired},
    {"reserved long code with a short format", binary, records().fsf8(45, {8}),
     reserved + "45" + hardwired},
    {"long format one field short", binary,
     records().fsf8(35, {8, 8, 8, 8, 8, 8, 8}).i32s({1, 2, 3, 4, 5, 6, 7, 8}),
     too_short},
    {"long format shorter than its layout", binary, records().fsf8(35, {8, 8, 8}).i32(1),
     too_short},
    {"number cut short", binary, records().byte(16).i32(1).i32(2), copy_overrun},
    {"fixed string cut short in a hard-wired record", binary,
     records().fsf8(30, {0x88, 8, 8, 8}).raw("abcdefg"), copy_overrun},
    {"open-ended string without its zero byte in a hard-wired record", binary,
     records().fsf8(30, {0x80, 0x2A, 0x2A, 0x2A}).raw("name"), copy_overrun},
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
  ASSERT_EQ(convert_in_memory(prefix.bytes).output, output) << "the prefix on its own";
  output += c.written;
  const long long lines = std::count(output.begin(), output.end(), '\n');
  std::string message = c.message;
  if (const size_t at = message.find("%L"); at != std::string::npos) {
    message.replace(at, 2, std::to_string(lines + 1));
  }
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
  // Through the library, in pieces of any size: the same, and a report that tells the error.
  for (const size_t piece : kPieceSizes) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    const conversion_capture in_pieces = convert_in_memory(
        prefix.bytes + c.tail.bytes, {.use_line_queue = piece % 2 == 1, .piece_size = piece});
    EXPECT_EQ(in_pieces.output, run.output);
    EXPECT_EQ(in_pieces.messages, run.err);
    EXPECT_EQ(in_pieces.status, 2);
    const convert_report& report = in_pieces.report;
    EXPECT_EQ(report.failure_message + "\n", message);
    EXPECT_EQ(report.failure_input_byte, static_cast<int64_t>(prefix.bytes.size() + c.item));
    EXPECT_EQ(report.failure_explanation, explanation.substr(0, explanation.find('\n')));
    EXPECT_FALSE(report.finished);
    EXPECT_EQ(report.lines_written, lines);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FailurePaths, ::testing::ValuesIn(failure_cases()));

}  // namespace
}  // namespace asciify::test_support
