// The command line taken apart: options first, then the file names.
#pragma once

#include <string>
#include <vector>

namespace asciify {

enum class command_mode { convert, list, help, version };

struct command_options {
  command_mode mode = command_mode::convert;
  bool quiet = false;          // leave out the informational lines
  bool json = false;           // (list) one JSON object instead of text
  bool use_directory = false;  // convert each input into `directory`; else IN OUT
  std::string directory;
  std::vector<std::string> files;
};

enum class parse_outcome { ok, usage_error, unknown_option, missing_value };

struct parsed_command {
  parse_outcome outcome = parse_outcome::ok;
  std::string offending;  // the option that was not understood, or lacks its value
  command_options options;
};

// Takes apart the arguments after the program name. Options come before the files; "--" ends
// them, and "-" alone is a file (a standard stream). Checks the number of files for the mode.
parsed_command parse_command_line(const std::vector<std::string>& arguments);

}  // namespace asciify
