// A one-line progress display on the terminal for runs that take a while.
//
// While the display is active it is the only writer to the terminal: the run's message
// streams (standard error, and standard output when it is a terminal) are switched to full
// buffering, and at each refresh the display erases its line, lets the held messages out on
// the clean line and draws itself again below them. So a message never lands on a progress
// line, and when standard error is no terminal nothing of this happens at all.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace asciify::cli {

// What the progress line shows.
struct progress_numbers {
  int64_t bytes_read = 0;
  int64_t total_bytes = -1;  // size of the input, or -1 when it is not known
  int64_t lines_written = 0;
  double seconds = 0;  // since the conversion began
};

// The text of the progress line of `program`, without control characters. With a known size:
// "asciify: 45.2 of 200.0 MB, 22%, 85.3 MB/s, 1234567 lines, 0:02 left";
// otherwise "asciify: 45.2 MB, 85.3 MB/s, 1234567 lines".
std::string format_progress_line(const char* program, const progress_numbers& numbers);

// Time left for `remaining_bytes` at `bytes_per_second`, as "M:SS" or "H:MM:SS"; empty when
// the rate is not known yet.
std::string format_time_left(int64_t remaining_bytes, double bytes_per_second);

constexpr int kDefaultProgressDelayMs = 1000;  // runs shorter than this show nothing
constexpr int kProgressIntervalMs = 250;       // time between two refreshes

// The delay before the first progress line: the environment variable `variable`
// (ASCIIFY_PROGRESS_DELAY_MS, ...) when it holds a number of milliseconds (0 to 3600000), else
// kDefaultProgressDelayMs.
int progress_delay_from_environment(const char* variable);

// Whether a run should show progress: standard error is a terminal, and neither the input
// nor the output is one (the line would tear through typed input or through the text).
bool progress_wanted(bool input_is_terminal, bool output_is_terminal);

// Where the display reads the time: the steady clock, or a clock of the caller's (a test's).
using progress_clock = std::chrono::steady_clock::time_point (*)();

class progress_display {
 public:
  // Begins timing a run of `program` on an input of `total_bytes` (shown when known, else -1;
  // of a compressed input, its compressed bytes) and holds the message streams. `hold_stdout`
  // is false when standard output carries the output. Call before anything is written to
  // standard output or standard error.
  progress_display(const char* program, int64_t total_bytes, bool hold_stdout, int delay_ms,
                   progress_clock now = std::chrono::steady_clock::now);
  ~progress_display();
  progress_display(const progress_display&) = delete;
  progress_display& operator=(const progress_display&) = delete;

  // Tells the display how far the run is: the bytes of the input file read (compressed ones,
  // for a compressed input) and the lines made. Redraws the line when it is due.
  void update(int64_t bytes_read, int64_t lines_written);

  // Erases the line and lets the held messages out. After this the display draws no more;
  // messages printed later reach their streams at the latest when the process exits.
  void finish();

 private:
  using clock = std::chrono::steady_clock;

  void refresh(clock::time_point now, int64_t bytes_read, int64_t lines_written);
  void release_messages();
  void erase();
  void draw(const std::string& text);

  const char* program_;
  progress_clock now_;
  clock::time_point start_;
  clock::time_point last_check_;
  clock::time_point next_refresh_;
  clock::duration delay_;
  int64_t total_bytes_ = -1;
  bool hold_stdout_ = false;
  bool finished_ = false;
  // Calls left until the clock is read again, and how many calls apart the reads are: the
  // stride adapts so that the clock is read every few milliseconds whatever the speed.
  int countdown_ = 1;
  int stride_ = 1;
  size_t drawn_length_ = 0;  // characters of the line on screen, 0 when none
};

}  // namespace asciify::cli
