#include "cli/options.h"

#include <cstdio>
#include <string_view>

namespace asciify::cli {
namespace {

const option_spec* find_short(std::span<const option_spec> specs, char letter) {
  for (const option_spec& spec : specs) {
    if (spec.short_name != 0 && spec.short_name == letter) return &spec;
  }
  return nullptr;
}

const option_spec* find_long(std::span<const option_spec> specs, std::string_view name) {
  for (const option_spec& spec : specs) {
    if (*spec.long_name != '\0' && name == spec.long_name) return &spec;
  }
  return nullptr;
}

// The option an argument names, and its value when it is joined to it.
struct named_option {
  const option_spec* spec = nullptr;
  bool joined = false;
  std::string value;
};

named_option name_option(std::span<const option_spec> specs, std::string_view argument) {
  named_option named;
  if (argument.starts_with("--")) {
    const std::string_view body = argument.substr(2);
    const size_t equals = body.find('=');
    named.spec = find_long(specs, body.substr(0, equals));
    if (equals != std::string_view::npos) {
      named.joined = true;
      named.value = body.substr(equals + 1);
    }
  } else {
    named.spec = find_short(specs, argument[1]);
    if (argument.size() > 2) {
      named.joined = true;
      named.value = argument.substr(2);
    }
  }
  // A flag takes no value.
  if (named.spec != nullptr && named.spec->value_needed == nullptr && named.joined) {
    named.spec = nullptr;
  }
  return named;
}

}  // namespace

parsed_arguments parse_arguments(const std::vector<std::string>& arguments,
                                 std::span<const option_spec> specs) {
  parsed_arguments parsed;
  size_t at = 0;
  for (; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (argument == "--") {
      ++at;
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') break;  // a name, "-" included
    named_option named = name_option(specs, argument);
    if (named.spec == nullptr) {
      parsed.outcome = parse_outcome::unknown_option;
      parsed.offending = argument;
      return parsed;
    }
    if (named.spec->value_needed != nullptr && !named.joined) {
      if (at + 1 == arguments.size()) {
        parsed.outcome = parse_outcome::missing_value;
        parsed.offending = argument;
        parsed.value_needed = named.spec->value_needed;
        return parsed;
      }
      named.value = arguments[++at];
    }
    parsed.options.push_back({named.spec->id, std::move(named.value)});
  }
  parsed.names.assign(arguments.begin() + static_cast<std::ptrdiff_t>(at), arguments.end());
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
