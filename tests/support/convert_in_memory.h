// Runs whole conversions inside this process, capturing the output and both message streams,
// and checks what must hold at the end of every run, whatever its input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace asciify::testing {

// A stream that collects in memory what is written to it.
struct memory_stream {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);  // closed here unless someone else did (nullptr)
  ~memory_stream() {
    if (file != nullptr) std::fclose(file);
    std::free(data);
  }
  std::string text() { return file != nullptr && std::fflush(file), std::string(data, size); }
};

struct conversion_capture {
  int status = 0;        // 0 finished, 2 failed
  std::string output;    // the converted text (empty from convert_streams)
  std::string messages;  // errors and warnings
  std::string info;      // informational lines and the finished summary
  int64_t lines_written = 0;
};

// How a conversion in memory is run: the byte the state's scratch areas are filled with
// first, and whether lines go through the line queue (a second thread).
struct run_options {
  uint8_t scratch_fill = 0;
  bool use_line_queue = false;
};

// Converts `in` to `out` as the command line does: convert, close `out`, print the summary.
conversion_capture convert_streams(FILE* in, FILE* out, run_options options = {});
conversion_capture convert_in_memory(std::string_view input, run_options options = {});

std::string finished_summary(long long lines);
std::string failed_summary(long long lines);

// The output after its last newline byte: an unterminated last line, or nothing.
std::string_view unterminated_tail(std::string_view output);

// What is wrong with the end of a run of `input`, or "" when nothing is. A run ends with status
// 0 or 2 and exactly one summary, on the stream that belongs to the status and with the run's
// own line count; a finished run may only have warned, a failure says why before its summary.
// Every line counted is in the output, each ending in a newline byte except an unterminated
// last line, which is copied input (the end of the input, after a finished run).
std::string ending_fault(const conversion_capture& run, std::string_view input);

}  // namespace asciify::testing
