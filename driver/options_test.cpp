#include "driver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace asciify {
namespace {

TEST(Options, TakeOptionsBeforeTheFiles) {
  const struct {
    std::vector<std::string> arguments;
    parse_outcome outcome;
    command_mode mode;
    std::vector<std::string> files;
    std::string offending_or_folder;
  } cases[] = {
      {{"in", "out"}, parse_outcome::ok, command_mode::convert, {"in", "out"}, ""},
      {{"-", "-"}, parse_outcome::ok, command_mode::convert, {"-", "-"}, ""},
      {{"-q", "in", "out"}, parse_outcome::ok, command_mode::convert, {"in", "out"}, ""},
      {{"in", "-q"}, parse_outcome::ok, command_mode::convert, {"in", "-q"}, ""},
      {{"--", "-h", "out"}, parse_outcome::ok, command_mode::convert, {"-h", "out"}, ""},
      {{"-h", "in", "out"}, parse_outcome::ok, command_mode::help, {"in", "out"}, ""},
      {{"-V"}, parse_outcome::ok, command_mode::version, {}, ""},
      {{"-l", "in"}, parse_outcome::ok, command_mode::list, {"in"}, ""},
      {{"--list", "--json", "in"}, parse_outcome::ok, command_mode::list, {"in"}, ""},
      {{"-d", "dir", "a", "b"}, parse_outcome::ok, command_mode::convert, {"a", "b"}, "dir"},
      {{"-ddir", "a"}, parse_outcome::ok, command_mode::convert, {"a"}, "dir"},
      {{"--directory=dir", "a"}, parse_outcome::ok, command_mode::convert, {"a"}, "dir"},
      {{}, parse_outcome::usage_error, command_mode::convert, {}, ""},
      {{"in"}, parse_outcome::usage_error, command_mode::convert, {"in"}, ""},
      {{"a", "b", "c"}, parse_outcome::usage_error, command_mode::convert, {"a", "b", "c"}, ""},
      {{"-l", "a", "b"}, parse_outcome::usage_error, command_mode::list, {"a", "b"}, ""},
      {{"--json", "a", "b"}, parse_outcome::usage_error, command_mode::convert, {"a", "b"}, ""},
      {{"-d", "dir"}, parse_outcome::usage_error, command_mode::convert, {}, "dir"},
      {{"-x", "a", "b"}, parse_outcome::unknown_option, command_mode::convert, {}, "-x"},
      {{"--quiet=yes", "a"},
       parse_outcome::unknown_option,
       command_mode::convert,
       {},
       "--quiet=yes"},
      {{"-q", "-d"}, parse_outcome::missing_value, command_mode::convert, {}, "-d"},
  };
  for (const auto& c : cases) {
    std::string call;
    for (const std::string& argument : c.arguments) call += " '" + argument + "'";
    const parsed_command parsed = parse_command_line(c.arguments);
    EXPECT_EQ(parsed.outcome, c.outcome) << call;
    if (c.outcome == parse_outcome::unknown_option || c.outcome == parse_outcome::missing_value) {
      EXPECT_EQ(parsed.offending, c.offending_or_folder) << call;
      continue;
    }
    EXPECT_EQ(parsed.options.mode, c.mode) << call;
    EXPECT_EQ(parsed.options.files, c.files) << call;
    EXPECT_EQ(parsed.options.directory, c.offending_or_folder) << call;
  }
}

}  // namespace
}  // namespace asciify
