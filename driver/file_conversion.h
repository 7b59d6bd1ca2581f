// One conversion of a named input into a named output, as the command line runs it: opening
// both files (never an output that is the input itself), the progress line, the summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "asciify/converter.h"
#include "input/input_stream.h"
#include "output/destination.h"

namespace asciify {

// How a file conversion reports.
struct report_settings {
  bool quiet = false;  // leave out the informational lines
  std::string label;   // put before the summary (with many files: the input's name)
};

// The name "-": standard input as an input, standard output as an output.
bool is_standard_stream(const char* name);

// How a name is shown in the line that gives the system's reason for a failure.
const char* reason_name(const char* name, const char* standard_stream);

// Prints "asciify: NAME: REASON" for the system's error number `error`.
void print_reason(const char* name, int error);

// Opens the input, which must be something that can be read as a file; a compressed one is
// decompressed as it is read. Returns nothing after the messages.
input_handle open_input(const char* name);

// The identity of the open input, to keep an output from being the input itself.
file_identity identity_of_input(const input_stream& input);

class progress_display;

// Feeds the whole input to the converter (telling the display, when there is one, how far it
// is) and finishes the conversion, also after a failed read. Returns the exit status.
int feed_and_finish(converter& c, input_stream& input, progress_display* progress);

// Converts the input `input_name` into `output_name` and prints the summary. Returns the exit
// status; *lines_written receives the lines in the output.
int convert_file_pair(const char* input_name, const char* output_name,
                      const report_settings& settings, int64_t* lines_written);

}  // namespace asciify
