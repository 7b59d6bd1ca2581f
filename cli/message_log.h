// Where a program's lines about a run go: the notes and summaries to standard output, the
// warnings and errors to standard error. Printed as they come, or, for one of many files, kept
// in the order they came with the file's name before each line and printed together when the
// file is done, so that one file's lines never mix with another's, also when both streams go
// into one pipe.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace asciify::cli {

enum class line_stream { output, error };

struct message_log {
  bool keep = false;   // keep the lines until print_kept_lines
  std::string prefix;  // put before every line ("NAME: "); empty: nothing
  // The kept text, and which stream each stretch of it goes to.
  struct stretch {
    line_stream stream;
    size_t size;
  };
  std::string kept;
  std::vector<stretch> stretches;
  bool at_line_start[2] = {true, true};
};

// A log that keeps a file's lines, each after "NAME: ".
message_log kept_log_of(const std::string& name);

// Adds `size` bytes of text (whole lines or pieces of them) for `stream`.
void log_text(message_log& log, line_stream stream, const char* text, size_t size);

// Adds a printf-formatted text for `stream`.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
void log_format(message_log& log, line_stream stream, const char* format, ...);

// Prints the kept lines in the order they came (flushing a stream before the other one takes
// over) and empties the log.
void print_kept_lines(message_log& log);

}  // namespace asciify::cli
