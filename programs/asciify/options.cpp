#include "programs/asciify/options.h"

#include <iterator>

#include "cli/options.h"

namespace asciify {
namespace {

enum option_id { kDirectory, kList, kJson, kQuiet, kHelp, kVersion };

constexpr cli::option_spec kOptions[] = {
    {kDirectory, 'd', "directory", "a folder"},
    {kList, 'l', "list", nullptr},
    {kJson, 0, "json", nullptr},
    {kQuiet, 'q', "quiet", nullptr},
    {kHelp, 'h', "help", nullptr},
    {kVersion, 'V', "version", nullptr},
};

// What one option sets. Help wins over the version, and both over a listing.
void apply(const cli::given_option& given, command_options& options) {
  switch (given.id) {
    case kDirectory:
      options.use_directory = true;
      options.directory = given.value;
      break;
    case kList:
      if (options.mode == command_mode::convert) options.mode = command_mode::list;
      break;
    case kJson:
      options.json = true;
      break;
    case kQuiet:
      options.quiet = true;
      break;
    case kHelp:
      options.mode = command_mode::help;
      break;
    case kVersion:
      if (options.mode != command_mode::help) options.mode = command_mode::version;
      break;
  }
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
  parsed.arguments = cli::parse_arguments(arguments, kOptions);
  if (parsed.arguments.outcome != cli::parse_outcome::ok) return parsed;
  command_options& options = parsed.options;
  for (const cli::given_option& given : parsed.arguments.options) apply(given, options);
  options.files = parsed.arguments.names;
  parsed.files_fit = files_fit(options);
  return parsed;
}

}  // namespace asciify
