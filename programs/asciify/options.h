// asciify's command line taken apart: its options and the file names, in any order.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

namespace asciify {

enum class command_mode { convert, list, help, version };

struct command_options {
  command_mode mode = command_mode::convert;
  bool quiet = false;          // leave out the informational lines
  bool json = false;           // (list) one JSON object instead of text
  bool decompress = true;      // decompress an input that starts with a compressed stream
  bool use_directory = false;  // convert each input into `directory`; else IN OUT
  std::string directory;
  int jobs = 1;               // files converted at once into the folder
  std::string jobs_given;     // the value of --jobs, "" when not given
  int threads = 0;            // threads of one conversion; 0: as many as help
  std::string threads_given;  // the value of --threads, "" when not given
  std::vector<std::string> files;
};

// The most files converted at once (each takes a few threads and a few MiB), and the most
// threads one conversion is given.
constexpr int kMaxJobs = 64;
constexpr int kMaxThreads = 64;

struct parsed_command {
  cli::parsed_arguments arguments;  // its outcome tells whether the options were understood
  bool files_fit = false;           // the files are those the mode needs
  // When they are not, what is wrong ("missing OUT", "unexpected name 'c'"); "" when nothing
  // is to be said (no arguments at all).
  std::string problem;
  command_options options;
};

// The threads each conversion may take: those of --threads, else the processors shared by
// the files converted at once.
int threads_per_file(const command_options& options);

// Takes apart the arguments after the program name. Options may stand anywhere until "--",
// which ends them, and "-" alone is a file (a standard stream). Checks the files for the mode.
parsed_command parse_command_line(const std::vector<std::string>& arguments);

}  // namespace asciify
