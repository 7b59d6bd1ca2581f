#include "cli/messages.h"

#include <cstdio>
#include <cstring>

namespace asciify::cli {

bool is_standard_stream(const char* name) {
  return std::strcmp(name, "-") == 0;
}

const char* reason_name(const char* name, const char* standard_stream) {
  return is_standard_stream(name) ? standard_stream : name;
}

void print_reason(const program_words& words, const char* name, int error) {
  std::fprintf(stderr, "%s: %s: %s\n", words.program, name, std::strerror(error));
}

}  // namespace asciify::cli
