// One conversion of a named input into a named output, as the command line runs it: opening
// both files (never an output that is the input itself), the progress line, the summary.
#pragma once

#include <cstdint>
#include <string>

#include "asciify/converter.h"
#include "cli/message_log.h"
#include "cli/messages.h"
#include "cli/progress.h"
#include "input/input_stream.h"

namespace asciify {

// How asciify names itself and its files in messages.
inline constexpr cli::program_words kAsciify{"asciify", "binary", "ascii"};

// How a file conversion reports.
struct report_settings {
  bool quiet = false;      // leave out the informational lines
  bool decompress = true;  // decompress an input that starts with a compressed stream
  bool progress = true;    // show the progress line on a terminal (one conversion at a time)
  int threads = 2;  // 1: everything on one thread; more: reading, decompressing and writing apart
};

// Feeds the whole input to the converter (telling the display, when there is one, how far it
// is) and finishes the conversion, also after a failed read. Returns the exit status.
int feed_and_finish(converter& c, input_stream& input, cli::progress_display* progress);

// Converts the input `input_name` into `output_name`, its messages and summary going to `log`.
// Returns the exit status; *lines_written receives the lines in the output.
int convert_file_pair(const char* input_name, const char* output_name,
                      const report_settings& settings, cli::message_log& log,
                      int64_t* lines_written);

}  // namespace asciify
