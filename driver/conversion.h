// The conversion loop: reads the input through a small sliding window, copies ASCII lines,
// hands binary records to their handlers and switches modes at the markers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/input_stream.h"
#include "output/output.h"
#include "records/conversion_state.h"

namespace asciify {

// Refill rule of the window: when fewer than kLookahead unread bytes remain and input is
// left, the unread bytes move to the front and up to kReadSize more are read behind them.
constexpr int32_t kLookahead = 256;
constexpr int32_t kReadSize = 512;

// A binary section as a listing shows it.
struct section_census {
  int64_t input_byte = 0;  // of its *START_BINARY
  bool swapped = false;
  int32_t major = 0;
  int32_t minor = 0;
  int64_t suspensions = 0;
};

// What a listing shows beyond the result, gathered by the conversion itself.
struct conversion_census {
  std::vector<section_census> sections;
  int64_t ascii_lines = 0;  // lines copied in ASCII mode
};

struct conversion_result {
  bool finished = false;      // the whole input was converted
  int64_t lines_written = 0;  // complete lines in the output
  int64_t bytes_read = 0;
  // Whether the input ended in binary mode, and where that mode was last entered: the input
  // offset of the marker line.
  bool ended_in_binary = false;
  int64_t binary_entered_at = 0;
  // Where a failure on the input's content happened, and why; -1 when none did.
  int64_t failure_input_byte = -1;
  std::string failure_explanation;
};

// Told how far a conversion is, after every read of input: the bytes of the input file read
// (compressed ones, for a compressed input) and the lines written.
struct progress_hook {
  void (*update)(void* context, int64_t bytes_read, int64_t lines_written) = nullptr;
  void* context = nullptr;
};

// Converts `input` into `out` until the input is used up or the first error, which is
// reported on the output's message stream (a read error as "Failed to read input file
// <input_name>." and its reason), then writes out and closes `out`. Prints no summary.
conversion_result convert_stream(conversion_state& state, output& out, input_stream& input,
                                 const char* input_name, const progress_hook* progress = nullptr,
                                 conversion_census* census = nullptr);

// Prints the end of a run and returns its exit status. `close_error` is the system's error
// number when closing the destination failed (0 when it did not); unless a failed write was
// reported already, "Failed to write output file <name>." and its reason come first. Then
// the summary: the finished line (on the info stream, status 0), after a warning when the
// input ended inside a binary section, or the failure line (status 2).
// `label`, when not empty, goes before the summary (with many files: the input's name).
int finish_run(output& out, const conversion_result& result, int close_error,
               const char* label = "");

}  // namespace asciify
