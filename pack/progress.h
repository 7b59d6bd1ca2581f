// The progress line of a long packing run on a terminal: bytes read of the input's size, the
// percentage, the speed, the lines packed and the time left, refreshed a few times a second on
// standard error and erased at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace binify {

struct progress_numbers {
  int64_t bytes_read = 0;
  int64_t total_bytes = -1;  // -1 when the input's size is not known
  int64_t lines = 0;
  double seconds = 0;
};

// "binify: 45.2 of 200.0 MB, 22%, 85.3 MB/s, 1234567 lines, 0:02 left", or without a known
// size "binify: 45.2 MB, 85.3 MB/s, 1234567 lines".
std::string format_progress_line(const progress_numbers& numbers);

// Whether a run shows progress: standard error is a terminal and neither the input nor the
// output is one.
bool progress_wanted(FILE* input, FILE* output);

// The delay before the first progress line: BINIFY_PROGRESS_DELAY_MS (0 to 3600000) or 1000.
int progress_delay_from_environment();

struct progress_line {
  using clock = std::chrono::steady_clock;
  clock::time_point start = clock::now();
  clock::time_point next_refresh;
  int64_t total_bytes = -1;
  size_t drawn = 0;  // characters on screen, 0 when none
};

// Starts timing a run of `input` (its size is shown when it is a regular file).
progress_line start_progress(FILE* input, int delay_ms);

// Redraws the line when it is due.
void update_progress(progress_line& line, int64_t bytes_read, int64_t lines);

// Erases the line, if one is drawn.
void end_progress(progress_line& line);

}  // namespace binify
