#include "programs/asciify/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace asciify {
namespace {

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> split;
  for (std::string word; in >> word;) split.push_back(word);
  return split;
}

// The outcome of a command line: the options' own, or a usage error when they were understood
// but the files do not fit.
enum class outcome { ok, usage_error, unknown_option, missing_value };

outcome outcome_of(const parsed_command& parsed) {
  switch (parsed.arguments.outcome) {
    case cli::parse_outcome::unknown_option:
      return outcome::unknown_option;
    case cli::parse_outcome::missing_value:
      return outcome::missing_value;
    case cli::parse_outcome::ok:
      break;
  }
  return parsed.files_fit ? outcome::ok : outcome::usage_error;
}

// Options anywhere until "--", bundled, with joined values; a wrong number of files is said.
TEST(Options, TakeOptionsAnywhereUntilTheEndOfOptions) {
  using enum outcome;
  using enum command_mode;
  const struct {
    const char* arguments;  // separated by spaces, as are the files
    outcome expected;
    command_mode mode;
    const char* files;
    const char* offending_or_folder;
    const char* problem = "";
  } cases[] = {
      // clang-format off
      {"in out", ok, convert, "in out", ""},       {"- -", ok, convert, "- -", ""},
      {"-q in out", ok, convert, "in out", ""},    {"in out -q", ok, convert, "in out", ""},
      {"in -q out", ok, convert, "in out", ""},    {"in out --help", ok, help, "in out", ""},
      {"-- -h out", ok, convert, "-h out", ""},    {"in -- -q", ok, convert, "in -q", ""},
      {"-h in out", ok, help, "in out", ""},       {"-V", ok, version, "", ""},
      {"-l in", ok, list, "in", ""},               {"in --json -l", ok, list, "in", ""},
      {"--list --json in", ok, list, "in", ""},    {"-d dir a b", ok, convert, "a b", "dir"},
      {"-qd dir a", ok, convert, "a", "dir"},      {"a -qddir b", ok, convert, "a b", "dir"},
      {"-ddir a", ok, convert, "a", "dir"},        {"--directory=dir a", ok, convert, "a", "dir"},
      {"a --dir dir", ok, convert, "a", "dir"},
      {"", usage_error, convert, "", ""},
      {"in", usage_error, convert, "in", "", "missing OUT"},
      {"-q", usage_error, convert, "", "", "missing IN"},
      {"a b c", usage_error, convert, "a b c", "", "unexpected name 'c'"},
      {"-l a b", usage_error, list, "a b", "", "unexpected name 'b'"},
      {"-l", usage_error, list, "", "", "missing IN"},
      {"--json a b", usage_error, convert, "a b", "", "option '--json' goes with '--list'"},
      {"-d dir", usage_error, convert, "", "dir", "missing IN"},
      {"-x a b", unknown_option, convert, "", "-x"},
      {"a -qx b", unknown_option, convert, "", "-x"},
      {"--quiet=yes a", unknown_option, convert, "", "--quiet=yes"},
      {"a b --bogus", unknown_option, convert, "", "--bogus"},
      {"-q -d", missing_value, convert, "", "-d"},
      {"a --directory", missing_value, convert, "", "--directory"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const parsed_command parsed = parse_command_line(words(c.arguments));
    EXPECT_EQ(outcome_of(parsed), c.expected);
    if (c.expected == unknown_option || c.expected == missing_value) {
      EXPECT_EQ(parsed.arguments.offending, c.offending_or_folder);
      continue;
    }
    EXPECT_EQ(parsed.options.mode, c.mode);
    EXPECT_EQ(parsed.options.files, words(c.files));
    EXPECT_EQ(parsed.options.directory, c.offending_or_folder);
    EXPECT_EQ(parsed.problem, c.problem);
  }
}

// The number of files at once: a whole number, 0 for one per processor, at most kMaxJobs; the
// threads of each file: those given, else the processors shared by the files at once.
TEST(Options, TakeTheNumberOfFilesAtOnceAndTheirThreads) {
  const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int shared_by_two = std::max(1, processors / 2);
  const struct {
    const char* arguments;
    int jobs;  // -1: refused
    int threads;
  } cases[] = {
      {"-d o a", 1, processors},
      {"-d o -j 3 a", 3, std::max(1, processors / 3)},
      {"-j3 -d o a", 3, std::max(1, processors / 3)},
      {"-d o --jobs=2 a", 2, shared_by_two},
      {"-d o -j 0 a", std::min(processors, kMaxJobs), 1},
      {"-d o -j 64 a", 64, 1},
      {"-d o -j 2 -T 3 a", 2, 3},
      {"a b -T1", 1, 1},
      {"--threads=0 a b", 1, processors},
      {"-j 2 a b", 2, processors},  // without a folder, one file at a time
      {"-d o -j 65 a", -1, 0},
      {"-d o -j x a", -1, 0},
      {"-d o -j -1 a", -1, 0},
      {"-d o -j 2x a", -1, 0},
      {"-d o -j 00003 a", -1, 0},
      {"-T 65 a b", -1, 0},
      {"-T many a b", -1, 0},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const parsed_command parsed = parse_command_line(words(c.arguments));
    EXPECT_EQ(parsed.files_fit, c.jobs > 0);
    if (c.jobs > 0) {
      EXPECT_EQ(parsed.options.jobs, c.jobs);
      EXPECT_EQ(threads_per_file(parsed.options), c.threads);
    } else {
      EXPECT_TRUE(parsed.problem.starts_with("option '--")) << parsed.problem;
    }
  }
}

}  // namespace
}  // namespace asciify
