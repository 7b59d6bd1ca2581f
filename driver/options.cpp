#include "driver/options.h"

namespace asciify {
namespace {

// What one option argument sets. Returns false when it is no option of ours.
bool apply_flag(const std::string& flag, command_options& options) {
  if (flag == "-h" || flag == "--help") {
    options.mode = command_mode::help;
  } else if (flag == "-V" || flag == "--version") {
    if (options.mode != command_mode::help) options.mode = command_mode::version;
  } else if (flag == "-q" || flag == "--quiet") {
    options.quiet = true;
  } else if (flag == "-l" || flag == "--list") {
    if (options.mode == command_mode::convert) options.mode = command_mode::list;
  } else if (flag == "--json") {
    options.json = true;
  } else {
    return false;
  }
  return true;
}

// Whether the files fit the mode: IN OUT, IN... with a folder, IN for a listing.
bool files_fit(const command_options& options) {
  const size_t count = options.files.size();
  switch (options.mode) {
    case command_mode::help:
    case command_mode::version:
      return true;
    case command_mode::list:
      return count == 1 && !options.use_directory;
    case command_mode::convert:
      if (options.json) return false;  // --json belongs to --list
      return options.use_directory ? count >= 1 && !options.directory.empty() : count == 2;
  }
  return false;
}

}  // namespace

parsed_command parse_command_line(const std::vector<std::string>& arguments) {
  parsed_command parsed;
  command_options& options = parsed.options;
  size_t at = 0;
  for (; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (argument == "--") {
      ++at;
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') break;  // a file, "-" included
    if (argument == "-d" || argument == "--directory") {
      if (at + 1 == arguments.size()) {
        parsed.outcome = parse_outcome::missing_value;
        parsed.offending = argument;
        return parsed;
      }
      options.use_directory = true;
      options.directory = arguments[++at];
    } else if (argument.starts_with("--directory=")) {
      options.use_directory = true;
      options.directory = argument.substr(12);
    } else if (argument.starts_with("-d") && !argument.starts_with("--")) {
      options.use_directory = true;
      options.directory = argument.substr(2);
    } else if (!apply_flag(argument, options)) {
      parsed.outcome = parse_outcome::unknown_option;
      parsed.offending = argument;
      return parsed;
    }
  }
  options.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(at), arguments.end());
  if (!files_fit(options)) parsed.outcome = parse_outcome::usage_error;
  return parsed;
}

}  // namespace asciify
