#include "programs/asciify/options.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "cli/options.h"

namespace asciify {
namespace {

enum option_id { kDirectory, kJobs, kList, kJson, kQuiet, kNoDecompress, kHelp, kVersion };

constexpr cli::option_spec kOptions[] = {
    {kDirectory, 'd', "directory", "a folder"},
    {kJobs, 'j', "jobs", "a number of files at once"},
    {kList, 'l', "list", nullptr},
    {kJson, 0, "json", nullptr},
    {kQuiet, 'q', "quiet", nullptr},
    {kNoDecompress, 0, "no-decompress", nullptr},
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
    case kJobs:
      options.jobs_given = given.value;
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
    case kNoDecompress:
      options.decompress = false;
      break;
    case kHelp:
      options.mode = command_mode::help;
      break;
    case kVersion:
      if (options.mode != command_mode::help) options.mode = command_mode::version;
      break;
  }
}

std::string unexpected(const std::string& name) {
  return "unexpected name '" + name + "'";
}

// What is wrong with the files for the mode (IN OUT, IN... with a folder, IN for a listing);
// "" when they fit.
std::string files_problem(const command_options& options) {
  const std::vector<std::string>& files = options.files;
  switch (options.mode) {
    case command_mode::help:
    case command_mode::version:
      return "";
    case command_mode::list:
      if (options.use_directory) return "option '--list' writes into no folder";
      if (files.size() != 1) return files.empty() ? "missing IN" : unexpected(files[1]);
      return "";
    case command_mode::convert:
      if (options.json) return "option '--json' goes with '--list'";
      if (files.empty()) return "missing IN";
      if (options.use_directory) return options.directory.empty() ? "empty folder name" : "";
      if (files.size() != 2) return files.size() == 1 ? "missing OUT" : unexpected(files[2]);
      return "";
  }
  return "";
}

// The number of files at once: a whole number up to kMaxJobs, 0 for one per processor; -1 when
// `text` is none.
int jobs_of(const std::string& text) {
  if (text.empty() || text.size() > 4) return -1;
  int jobs = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    jobs = jobs * 10 + (c - '0');
  }
  if (jobs > kMaxJobs) return -1;
  if (jobs == 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::min(jobs, kMaxJobs);
}

}  // namespace

parsed_command parse_command_line(const std::vector<std::string>& arguments) {
  parsed_command parsed;
  parsed.arguments = cli::parse_arguments(arguments, kOptions);
  if (parsed.arguments.outcome != cli::parse_outcome::ok) return parsed;
  command_options& options = parsed.options;
  for (const cli::given_option& given : parsed.arguments.options) apply(given, options);
  options.files = parsed.arguments.names;
  parsed.problem = files_problem(options);
  if (!options.jobs_given.empty()) {
    options.jobs = jobs_of(options.jobs_given);
    if (options.jobs < 0) {
      parsed.problem = "option '--jobs' needs a number of files at once (0 to " +
                       std::to_string(kMaxJobs) + "), not '" + options.jobs_given + "'";
    }
  }
  parsed.files_fit = parsed.problem.empty();
  // With no arguments at all the usage line says it all.
  if (arguments.empty()) parsed.problem.clear();
  return parsed;
}

}  // namespace asciify
