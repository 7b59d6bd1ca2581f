// The public converter's report and its input: what it tells of a run beyond the text and the
// messages, compressed bytes fed in pieces, and an input that could not be read to its end.
#include "asciify/converter.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/compression.h"
#include "tests/support/encoder.h"
#include "tests/support/library_run.h"

namespace asciify {
namespace {

using test_support::convert_with_library;
using test_support::encoder;
using test_support::library_run;

// A value too wide for its column (a warning), records of both line-specific kinds, then a
// reserved code: the report keeps the warning apart from the error that ended the run.
TEST(Converter, ReportTellsWarningsErrorAndRecordsApart) {
  encoder file = encoder{}.line("head").start_binary().define(60, {0x02}).byte(60).i32(12345);
  file.lsf4({1}).i32(1).lsf8({0x08}).i32(2).lsf8({0x08}).i32(3).byte(5);
  const library_run run = convert_with_library(file.bytes, 3, false);
  const convert_report& report = run.report;
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(report.warnings,
            std::vector<std::string>{
                "Warning: value too wide for its 2-column field at line 2, written as '*'"});
  EXPECT_EQ(report.failure_message,
            "Found unknown reserved format code 5 in <process_hardwired_line> at line 6");
  EXPECT_EQ(report.failure_input_byte, static_cast<int64_t>(file.bytes.size() - 1));
  EXPECT_EQ(report.lines_written, 5);
  EXPECT_EQ(report.records.cached_definitions, 1);
  EXPECT_EQ(report.records.cached_data, 1);
  EXPECT_EQ(report.records.line_specific[0], 1);
  EXPECT_EQ(report.records.line_specific[1], 2);
  EXPECT_EQ(report.ascii_lines, 1);
  ASSERT_EQ(report.sections.size(), 1u);
  EXPECT_EQ(report.sections[0].input_byte, 5);
  EXPECT_TRUE(report.ended_in_binary);
}

// Compressed bytes fed in pieces of any size convert as the plain bytes do; a stream cut short
// fails as a read does, after the lines it held.
TEST(Converter, DecompressesWhatItIsFed) {
  encoder plain = encoder{}.line("first").start_binary().define(60, {0x0A});
  for (int32_t i = 0; i < 3000; ++i) plain.byte(60).i32(i);
  plain.end_binary().line("last");
  const library_run expected = convert_with_library(plain.bytes, 65536, false);
  for (const compression_kind kind :
       {compression_kind::gzip, compression_kind::xz, compression_kind::zstd}) {
    if (!compression_supported(kind)) continue;
    const std::string packed = test_support::compress(kind, plain.bytes);
    for (const size_t piece : {size_t{1}, size_t{5}, size_t{6}, size_t{1000}}) {
      SCOPED_TRACE(std::string(compression_name(kind)) + " in pieces of " + std::to_string(piece));
      const library_run run = convert_with_library(packed, piece, piece == 5);
      EXPECT_EQ(run.status, 0) << run.errors;
      EXPECT_TRUE(run.text == expected.text);
      EXPECT_EQ(run.report.compression, compression_name(kind));
      EXPECT_EQ(run.report.bytes_read, static_cast<int64_t>(plain.bytes.size()));
    }
    const library_run cut = convert_with_library(packed.substr(0, packed.size() / 2), 100, false);
    EXPECT_EQ(cut.status, 2);
    EXPECT_TRUE(expected.text.starts_with(cut.text));
    const std::string reason = std::string("asciify: input: unexpected end of ") +
                               compression_name(kind) + " data: the input is cut short\n";
    EXPECT_TRUE(cut.errors.starts_with("Failed to read input file input.\n" + reason))
        << cut.errors;
  }
}

// A read failure given at the end: the lines of the bytes fed before it, then the command's
// messages, with the names of the options.
TEST(Converter, EndsAtAReadFailureLikeTheCommand) {
  std::string text;
  for (int line = 0; line < 200; ++line) text += "line " + std::to_string(line) + "\n";
  std::string errors;
  const message_sink messages{[](void* context, message_kind, const char* data, size_t size) {
                                static_cast<std::string*>(context)->append(data, size);
                              },
                              &errors};
  const byte_sink nowhere{[](void*, const char*, size_t size, int*) { return size; }, nullptr,
                          nullptr, nullptr};
  convert_options options;
  options.input_name = "-";
  options.input_reason_name = "standard input";
  const converter_ptr c = make_converter(options, nowhere, messages);
  ASSERT_TRUE(convert_bytes(*c, text.data(), text.size()));
  EXPECT_EQ(finish_converting(*c, "Input/output error"), 2);
  // The last read, fewer than 512 bytes, is not converted: the window ends before it.
  const int64_t lines = converting_report(*c).lines_written;
  EXPECT_LT(lines, 200);
  EXPECT_EQ(errors,
            "Failed to read input file -.\nasciify: standard input: Input/output error\n"
            "File conversion failed after writing " +
                std::to_string(lines) + " lines.\n");
  EXPECT_EQ(finish_converting(*c), 2);  // finished once
}

}  // namespace
}  // namespace asciify
