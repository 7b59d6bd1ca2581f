// The options are taken apart by the system's getopt_long (glibc and mingw-w64 both have it):
// options anywhere until "--", short ones bundled ("-qd DIR"), long ones with "=VALUE" or the
// next argument, unambiguous abbreviations of long names.
#include "cli/options.h"

#include <getopt.h>

#include <cstdio>

namespace asciify::cli {
namespace {

// getopt_long's value for the long name of option description `index`: above every byte, so
// that it never is taken for a short letter.
constexpr int kLongBase = 0x1000;

struct option_table {
  std::string short_letters = ":";  // ':' first: a missing value is told from an unknown option
  std::vector<option> long_options;
};

option_table table_of(std::span<const option_spec> specs) {
  option_table table;
  for (size_t i = 0; i < specs.size(); ++i) {
    const option_spec& spec = specs[i];
    const bool value = spec.value_needed != nullptr;
    if (spec.short_name != 0) {
      table.short_letters += spec.short_name;
      if (value) table.short_letters += ':';
    }
    if (*spec.long_name != '\0') {
      table.long_options.push_back({spec.long_name, value ? required_argument : no_argument,
                                    nullptr, kLongBase + static_cast<int>(i)});
    }
  }
  table.long_options.push_back({nullptr, 0, nullptr, 0});
  return table;
}

// The option description getopt_long's answer `found` stands for, or nullptr.
const option_spec* spec_of(std::span<const option_spec> specs, int found) {
  if (found >= kLongBase) {
    const size_t index = static_cast<size_t>(found - kLongBase);
    return index < specs.size() ? &specs[index] : nullptr;
  }
  for (const option_spec& spec : specs) {
    if (spec.short_name != 0 && spec.short_name == found) return &spec;
  }
  return nullptr;
}

// The option a failure is about, as the user wrote it: "-x" for a short letter, else the
// argument that held the long name ("--quiet=yes").
std::string offending_option(char* const* argv) {
  if (optopt > 0 && optopt < kLongBase) return std::string("-") + static_cast<char>(optopt);
  return argv[optind - 1];
}

}  // namespace

parsed_arguments parse_arguments(const std::vector<std::string>& arguments,
                                 std::span<const option_spec> specs) {
  parsed_arguments parsed;
  // getopt_long permutes the vector it is given: a copy of the words, behind a program name.
  std::vector<std::string> words{"program"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  const option_table table = table_of(specs);
  opterr = 0;  // the messages are the kit's own
  optind = 0;  // a fresh scan, also after an earlier one
  for (;;) {
    const int found = getopt_long(argc, argv.data(), table.short_letters.c_str(),
                                  table.long_options.data(), nullptr);
    if (found == -1) break;
    if (found == '?' || found == ':') {
      // mingw-w64 also answers ':' for a value given to an option that takes none (glibc '?').
      const option_spec* spec = spec_of(specs, optopt);
      const bool missing = found == ':' && spec != nullptr && spec->value_needed != nullptr;
      parsed.outcome = missing ? parse_outcome::missing_value : parse_outcome::unknown_option;
      parsed.offending = offending_option(argv.data());
      if (missing) parsed.value_needed = spec->value_needed;
      return parsed;
    }
    const option_spec* spec = spec_of(specs, found);
    if (spec == nullptr) continue;
    parsed.options.push_back({spec->id, optarg != nullptr ? optarg : ""});
  }
  parsed.names.assign(argv.begin() + optind, argv.begin() + argc);
  return parsed;
}

void print_option_error(const char* program, const parsed_arguments& parsed) {
  if (parsed.outcome == parse_outcome::unknown_option) {
    std::fprintf(stderr, "%s: unknown option '%s'\n", program, parsed.offending.c_str());
  } else if (parsed.outcome == parse_outcome::missing_value) {
    std::fprintf(stderr, "%s: option '%s' needs %s\n", program, parsed.offending.c_str(),
                 parsed.value_needed);
  }
}

}  // namespace asciify::cli
