// The command line taken apart, the same way for every program of the kit: options and file
// names in any order. Pure: it prints nothing and looks at nothing but the arguments.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace asciify::cli {

// An option a program takes: the number the program knows it by, its short letter (0: none),
// its long name ("" : none), and for an option with a value, the words that say what the value
// is ("a folder"); nullptr for a flag.
struct option_spec {
  int id;
  char short_name;
  const char* long_name;
  const char* value_needed;
};

enum class parse_outcome { ok, unknown_option, missing_value };

struct given_option {
  int id;
  std::string value;  // "" for a flag
};

struct parsed_arguments {
  parse_outcome outcome = parse_outcome::ok;
  std::string offending;               // the option not understood, or lacking its value
  const char* value_needed = nullptr;  // what that option needs, for missing_value
  std::vector<given_option> options;   // in the order given
  std::vector<std::string> names;      // the other arguments, in the order given
};

// Takes apart the arguments after the program name. Options may come anywhere among the names
// until "--", which ends them; "-" alone is a name (a standard stream). Short options may be
// bundled ("-qd DIR"). A value follows its option as the next argument or joined to it:
// "-dDIR", "--directory=DIR".
parsed_arguments parse_arguments(const std::vector<std::string>& arguments,
                                 std::span<const option_spec> specs);

// Prints what is wrong with the options on standard error: "PROGRAM: unknown option 'X'" or
// "PROGRAM: option 'X' needs WHAT".
void print_option_error(const char* program, const parsed_arguments& parsed);

}  // namespace asciify::cli
