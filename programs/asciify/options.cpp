#include "programs/asciify/options.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "cli/options.h"

namespace asciify {
namespace {

enum option_id {
  kDirectory,
  kJobs,
  kThreads,
  kList,
  kJson,
  kQuiet,
  kNoDecompress,
  kHelp,
  kVersion
};

constexpr cli::option_spec kOptions[] = {
    {kDirectory, 'd', "directory", "a folder"},
    {kJobs, 'j', "jobs", "a number of files at once"},
    {kThreads, 'T', "threads", "a number of threads"},
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
    case kThreads:
      options.threads_given = given.value;
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

// A count of files or threads: a whole number from 0 to `most`; -1 when `text` is none.
int count_of(const std::string& text, int most) {
  if (text.empty() || text.size() > 4) return -1;
  int count = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    count = count * 10 + (c - '0');
  }
  return count <= most ? count : -1;
}

int processors() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Reads --jobs and --threads; returns what is wrong with them, "" when nothing.
std::string take_counts(command_options& options) {
  if (!options.jobs_given.empty()) {
    options.jobs = count_of(options.jobs_given, kMaxJobs);
    if (options.jobs < 0) {
      return "option '--jobs' needs a number of files at once (0 to " + std::to_string(kMaxJobs) +
             "), not '" + options.jobs_given + "'";
    }
    if (options.jobs == 0) options.jobs = std::min(processors(), kMaxJobs);
  }
  if (!options.threads_given.empty()) {
    options.threads = count_of(options.threads_given, kMaxThreads);
    if (options.threads < 0) {
      return "option '--threads' needs a number of threads (0 to " + std::to_string(kMaxThreads) +
             "), not '" + options.threads_given + "'";
    }
  }
  return "";
}

}  // namespace

int threads_per_file(const command_options& options) {
  if (options.threads > 0) return options.threads;
  const int files_at_once = options.use_directory ? options.jobs : 1;
  return std::max(1, processors() / std::max(1, files_at_once));
}

parsed_command parse_command_line(const std::vector<std::string>& arguments) {
  parsed_command parsed;
  parsed.arguments = cli::parse_arguments(arguments, kOptions);
  if (parsed.arguments.outcome != cli::parse_outcome::ok) return parsed;
  command_options& options = parsed.options;
  for (const cli::given_option& given : parsed.arguments.options) apply(given, options);
  options.files = parsed.arguments.names;
  parsed.problem = files_problem(options);
  const std::string counts_problem = take_counts(options);
  if (!counts_problem.empty()) parsed.problem = counts_problem;
  parsed.files_fit = parsed.problem.empty();
  // With no arguments at all the usage line says it all.
  if (arguments.empty()) parsed.problem.clear();
  return parsed;
}

}  // namespace asciify
