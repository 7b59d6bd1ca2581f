// The conversion loop: reads the input through a small sliding window, copies ASCII lines,
// hands binary records to their handlers and switches modes at the markers. The loop is fed:
// the input arrives in pieces of any size, and the loop runs as far as they reach, refilling
// its window exactly as a reader that reads 512 bytes at a time would, so that the result
// never depends on how the input was cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/mode_marker.h"
#include "format/limits.h"
#include "output/output.h"
#include "records/conversion_state.h"
#include "records/input_cursor.h"

namespace asciify {

// Refill rule of the window: when fewer than kLookahead unread bytes remain and input is
// left, the unread bytes move to the front and up to kReadSize more are read behind them.
constexpr int32_t kLookahead = kMaxRecordSize;
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

// Input that has arrived but not yet entered the window: the piece being fed, and what the
// piece before left over, which the next refill takes first (less than one read, or after a
// pause up to two).
struct input_intake {
  uint8_t carry[2 * kReadSize];
  int32_t carried = 0;
  const uint8_t* piece = nullptr;
  size_t piece_left = 0;
  bool ended = false;   // nothing more will arrive
  std::string failure;  // why, when the input could not be read to its end ("" when it could)
  // The failure came after the data (bytes that follow complete compressed streams): all the
  // input is converted first, and the failure reported at its end.
  bool failure_after_data = false;
};

// The input as the loop sees it: the window of unread bytes and whether more can be read.
struct input_window_state {
  uint8_t input_window[kWindowSize];
  input_cursor cursor;  // over input_window
  bool input_open = true;
  bool read_failed = false;
  int64_t bytes_read = 0;
};

// Names of the input in the messages of a failed read.
struct input_names {
  const char* name = "input";         // "Failed to read input file NAME."
  const char* reason_name = "input";  // "asciify: NAME: REASON"
};

// The loop's own state between two pieces of input.
struct conversion_loop {
  input_window_state w;
  conversion_mode mode = conversion_mode::ascii;
  bool inside_long_line = false;
  bool stopped = false;  // at the end of the input or at the first error
  bool paused = false;   // returned after an item at the output's asking, input still to run
  conversion_result result;
  conversion_census census;
  input_names names;
};

// Prepares a loop for a new input.
void start_conversion(conversion_loop& loop, input_names names);

// Converts as far as the intake reaches: until a refill needs bytes that have not arrived
// (then the piece's rest is kept in the intake's carry), or until the loop stops. When the
// output asks for a pause after an item and the piece's rest fits in the carry, it returns
// after that item with `loop.paused` set; running it again, with or without a new piece,
// goes on from there. Returns false once the loop has stopped.
bool run_conversion(conversion_loop& loop, conversion_state& state, output& out,
                    input_intake& intake);

// Ends the input (the intake is marked ended), runs the loop to its end, writes out everything
// and closes `out`. Returns the result; complete lines only after a failed write.
const conversion_result& end_conversion(conversion_loop& loop, conversion_state& state, output& out,
                                        input_intake& intake);

// Prints the end of a run and returns its exit status. `close_error` is the system's error
// number when closing the destination failed (0 when it did not); unless a failed write was
// reported already, "Failed to write output file <name>." and its reason come first. Then
// the summary: the finished line (a note, status 0), after a warning when the input ended
// inside a binary section, or the failure line (status 2). `label`, when not empty, goes
// before the summary (with many files: the input's name).
int finish_run(output& out, const conversion_result& result, int close_error,
               const char* label = "");

}  // namespace asciify
