#include "cli/messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/message_log.h"
#include "platform/failure_reason.h"

namespace asciify::cli {

bool is_standard_stream(const char* name) {
  return std::strcmp(name, "-") == 0;
}

const char* reason_name(const char* name, const char* standard_stream) {
  return is_standard_stream(name) ? standard_stream : name;
}

void print_reason(const program_words& words, const char* name, int error, message_log& log) {
  log_format(log, line_stream::error, "%s: %s: %s\n", words.program, name, std::strerror(error));
}

int run_guarded(const char* program, int (*run)(int, char**), int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "%s: %s\n", program, platform::reason_of_current_exception().c_str());
  }
  return 2;
}

int checked_standard_output(const char* program, int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "%s: standard output: %s\n", program, std::strerror(error));
  return status > 2 ? status : 2;
}

}  // namespace asciify::cli
