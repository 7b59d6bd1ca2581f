// Runs whole conversions inside this process as a program that uses the library's public
// header does, capturing the output, both message streams and the report, and checks what must
// hold at the end of every run, whatever its input.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "asciify/converter.h"

namespace asciify::test_support {

struct conversion_capture {
  int status = 0;        // 0 finished, 2 failed
  std::string output;    // the converted text
  std::string messages;  // errors and warnings
  std::string info;      // informational lines and the finished summary
  int64_t lines_written = 0;
  convert_report report;
};

// A destination in memory. It takes at most `step` bytes a write, and fails with `error`
// once it holds `capacity` bytes, as a full device would; a `regular` one can be cut back as
// a file. A write first waits `pause_us` microseconds, as a slow device would.
struct memory_sink {
  std::string bytes;
  size_t capacity = SIZE_MAX;
  size_t step = SIZE_MAX;
  int error = ENOSPC;
  bool regular = true;
  int32_t pause_us = 0;
};

// Sleeps for `microseconds` (nothing when 0 or less).
void pause_for(int32_t microseconds);

// A byte sink that writes into `sink`.
byte_sink sink_into(memory_sink& sink);

// Messages collected in memory: errors and warnings, and the notes.
struct message_capture {
  std::string messages;
  std::string info;
  message_sink sink();
};

// How a conversion in memory is run: the byte the converter's scratch areas are filled with
// first, whether lines go through the line queue (a second thread), the output buffer, and the
// size of the pieces the input is fed in (0: all at once), and the microseconds the input
// stalls before each piece.
struct run_options {
  uint8_t scratch_fill = 0;
  bool use_line_queue = false;
  size_t buffer_size = 1 << 18;
  bool line_buffered = false;
  size_t piece_size = 0;
  int32_t pause_us = 0;
};

// The converter's options for a run, and what a finished run gives.
convert_options converter_options(const run_options& options);
conversion_capture capture_of(const converter& c, int status, message_capture& messages,
                              const memory_sink& sink);

// Converts the bytes of `input` as a program that uses the library does: fed to a converter
// (in pieces of options.piece_size), decompressed there when they start like a stream.
conversion_capture convert_in_memory(std::string_view input, run_options options = {});

// The piece sizes a conversion is checked with: single bytes, sizes around the converter's
// reads and lookahead, and the whole input at once.
inline constexpr size_t kPieceSizes[] = {1, 7, 255, 511, 512, 513, 0};

std::string finished_summary(long long lines);
std::string failed_summary(long long lines);
// The note on a section in the other byte order, and the warning about a value written as '*'.
inline const std::string kSwappedNote =
    "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n";
std::string wide_value_warning(int width, long long line);

// The output after its last newline byte: an unterminated last line, or nothing.
std::string_view unterminated_tail(std::string_view output);

// The lines of a run's output that the output of any longer input begins with: its complete
// lines, without the "$" line of a text beginning with '*' that the input cut off (that line is
// written before the text's end is looked for).
std::string_view lines_before_the_end(const conversion_capture& run);

// What is wrong with the end of a run of `input`, or "" when nothing is. A run ends with status
// 0 or 2 and exactly one summary, on the stream that belongs to the status and with the run's
// own line count; a finished run may only have warned, a failure says why before its summary.
// Every line counted is in the output, each ending in a newline byte except an unterminated
// last line, which is copied input (the end of the input, after a finished run).
std::string ending_fault(const conversion_capture& run, std::string_view input);

}  // namespace asciify::test_support
