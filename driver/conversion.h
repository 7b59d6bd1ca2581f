// The conversion loop: reads the input through a small sliding window, copies ASCII lines,
// hands binary records to their handlers and switches modes at the markers.
#pragma once

#include <cstdint>
#include <cstdio>

#include "records/conversion_state.h"

namespace asciify {

// Refill rule of the window: when fewer than kLookahead unread bytes remain and input is
// left, the unread bytes move to the front and up to kReadSize more are read behind them.
constexpr int32_t kLookahead = 256;
constexpr int32_t kReadSize = 512;

struct conversion_result {
  bool finished = false;      // the whole input was converted
  bool write_failed = false;  // the run ended on a failed write, already reported
  int64_t lines_written = 0;
  int64_t bytes_read = 0;
};

// Told how far a conversion is, after every read of input.
struct progress_hook {
  void (*update)(void* context, int64_t bytes_read, int64_t lines_written) = nullptr;
  void* context = nullptr;
};

// Converts `input` to `output` until the input is used up or the first error, which is
// reported on the state's message stream (a read error as "Failed to read input file
// <input_name>."). Prints no summary and closes nothing.
conversion_result convert_stream(conversion_state& state, FILE* input, FILE* output,
                                 const char* input_name, const progress_hook* progress = nullptr);

// Prints the end of a run and returns its exit status. `output_ok` tells whether the output
// was flushed and closed without error; when it was not, and no failed write was reported
// yet, "Failed to write output file <output_name>." comes first. Then the summary: the
// finished line (on the info stream, status 0) or the failure line (status 2).
int finish_run(const conversion_state& state, const conversion_result& result, bool output_ok,
               const char* output_name);

}  // namespace asciify
