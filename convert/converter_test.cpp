// The public converter's report and its input: what it tells of a run beyond the text and the
// messages, and compressed bytes fed in pieces.
#include "asciify/converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "convert/observe.h"
#include "tests/support/compression.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/random_input.h"

namespace asciify {
namespace {

using test_support::conversion_capture;
using test_support::convert_in_memory;
using test_support::encoder;

// A converter whose observer asks for a pause after every line.
struct pausing_run {
  converter_ptr c;
  int64_t pauses = 0;
};

void pause_after_each(void* context, const item_origin&, const observed_line&) {
  pause_after_item(*static_cast<pausing_run*>(context)->c);
}

// Converts `input` fed in pieces of `piece` bytes (0: at once), asking for a pause after every
// line; after a pause it goes on at once (`resume`) or only with the next piece.
conversion_capture convert_pausing(std::string_view input, const test_support::run_options& how,
                                   bool resume, int64_t* pauses) {
  test_support::memory_sink sink;
  test_support::message_capture messages;
  pausing_run run{
      make_converter(test_support::converter_options(how), sink_into(sink), messages.sink())};
  observe_lines(*run.c, {pause_after_each, &run}, false);
  const size_t step = how.piece_size == 0 ? std::max<size_t>(input.size(), 1) : how.piece_size;
  bool going = true;
  for (size_t at = 0; going && at < input.size(); at += step) {
    going = convert_bytes(*run.c, input.data() + at, std::min(step, input.size() - at));
    while (going && converting_paused(*run.c)) {
      ++*pauses;
      if (!resume) break;
      going = resume_converting(*run.c);
    }
  }
  const int status = finish_converting(*run.c, nullptr);
  return test_support::capture_of(*run.c, status, messages, sink);
}

// A value too wide for its column (a warning), records of both line-specific kinds, then a
// reserved code: the report keeps the warning apart from the error that ended the run.
TEST(Converter, ReportTellsWarningsErrorAndRecordsApart) {
  encoder file = encoder{}.line("head").start_binary().define(60, {0x02}).byte(60).i32(12345);
  file.lsf4({1}).i32(1).lsf8({0x08}).i32(2).lsf8({0x08}).i32(3).byte(5);
  const conversion_capture run = convert_in_memory(file.bytes, {.piece_size = 3});
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
  const conversion_capture expected = convert_in_memory(plain.bytes);
  for (const compression_kind kind :
       {compression_kind::gzip, compression_kind::xz, compression_kind::zstd}) {
    if (!compression_supported(kind)) continue;
    const std::string packed = test_support::compress(kind, plain.bytes);
    for (const size_t piece : {size_t{1}, size_t{5}, size_t{6}, size_t{1000}}) {
      SCOPED_TRACE(std::string(compression_name(kind)) + " in pieces of " + std::to_string(piece));
      const conversion_capture run =
          convert_in_memory(packed, {.use_line_queue = piece == 5, .piece_size = piece});
      EXPECT_EQ(run.status, 0) << run.messages;
      EXPECT_TRUE(run.output == expected.output);
      EXPECT_EQ(run.report.compression, compression_name(kind));
      EXPECT_EQ(run.report.bytes_read, static_cast<int64_t>(plain.bytes.size()));
    }
    const conversion_capture cut =
        convert_in_memory(packed.substr(0, packed.size() / 2), {.piece_size = 100});
    EXPECT_EQ(cut.status, 2);
    EXPECT_TRUE(expected.output.starts_with(cut.output));
    const std::string reason = std::string("asciify: input: unexpected end of ") +
                               compression_name(kind) + " data: the input is cut short\n";
    EXPECT_TRUE(cut.messages.starts_with("Failed to read input file input.\n" + reason))
        << cut.messages;
  }
}

// A conversion that pauses after its lines and goes on, at once or with the next piece, writes
// what one that never paused does, with its messages and status, also when it fails; the
// pieces of one read pause, larger ones only where their rest fits in the carry.
TEST(Converter, PausesAfterALineAndGoesOn) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    std::string input = test_support::make_random_input(seed).bytes;
    if (seed % 2 == 0) input.resize(input.size() * 2 / 3);  // cut short: most end in a failure
    if (seed == 3 && compression_supported(compression_kind::gzip)) {
      input = test_support::compress(compression_kind::gzip, input);
    }
    const conversion_capture expected = convert_in_memory(input);
    for (const size_t piece : test_support::kPieceSizes) {
      for (const bool resume : {true, false}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", pieces of " + std::to_string(piece) +
                     (resume ? ", resumed" : ", fed on"));
        int64_t pauses = 0;
        const conversion_capture run = convert_pausing(
            input, {.use_line_queue = seed == 5, .piece_size = piece}, resume, &pauses);
        EXPECT_EQ(run.status, expected.status);
        EXPECT_TRUE(run.output == expected.output);
        EXPECT_EQ(run.messages, expected.messages);
        EXPECT_EQ(run.lines_written, expected.lines_written);
        if (piece != 0 && piece <= 512 && seed != 3) {
          EXPECT_GT(pauses, resume ? expected.lines_written / 4 : 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace asciify
