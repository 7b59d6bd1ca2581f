#include "driver/command_line.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "driver/conversion.h"
#include "driver/progress.h"

namespace asciify {
namespace {

// The stream buffers belong to the run and outlive both streams. The output gets one only
// when it is a regular file: devices and pipes keep the stream's own buffering. The window
// rules of the conversion do not depend on either.

struct stream_buffers {
  char input[kInputBufferSize];
  char output[kOutputBufferSize];
};

// The name that stands for standard input (as IN) or standard output (as OUT).
constexpr const char* kStandardStream = "-";

constexpr const char* kHelp =
    "Usage: asciify IN OUT\n"
    "       asciify --help | --version\n"
    "\n"
    "Converts IN, a text file in which stretches of lines are binary-encoded, back into\n"
    "the plain text file OUT (replaced if it exists). Further arguments are ignored.\n"
    "\n"
    "  IN   the input file, or - for standard input\n"
    "  OUT  the output file, or - for standard output; the notes that would go to\n"
    "       standard output then go to standard error\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "A conversion that runs longer than a second shows its progress on standard error\n"
    "when that is a terminal.\n"
    "\n"
    "Exit status: 0 converted, 1 usage error or a file that cannot be opened,\n"
    "2 the conversion failed (the lines written before the error stay in OUT).\n"
    "See asciify(1) for the input format and the messages.\n";

void buffer_generously(FILE* input, FILE* output, stream_buffers& buffers) {
  std::setvbuf(input, buffers.input, _IOFBF, sizeof buffers.input);
  struct stat status;
  if (fstat(fileno(output), &status) == 0 && S_ISREG(status.st_mode)) {
    std::setvbuf(output, buffers.output, _IOFBF, sizeof buffers.output);
  }
}

bool is_standard_stream(const char* name) {
  return std::strcmp(name, kStandardStream) == 0;
}

// Handles a call with a single argument that names an option. Returns the exit status, or
// nothing when the argument is no option.
std::optional<int> run_option(const char* argument) {
  if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
    std::fputs(kHelp, stdout);
  } else if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-V") == 0) {
    std::fputs("asciify " ASCIIFY_VERSION "\n", stdout);
  } else {
    return std::nullopt;
  }
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "Failed to write standard output.\n");
    return 1;
  }
  return 0;
}

}  // namespace

int run_command_line(int argc, char** argv) {
  if (argc == 2) {
    if (const std::optional<int> status = run_option(argv[1])) return *status;
  }
  if (argc < 3) {
    std::fprintf(stderr, "Format is <input binary filename> <output ascii filename>\n");
    return 1;
  }
  const char* input_name = argv[1];
  const char* output_name = argv[2];
  const bool input_is_stdin = is_standard_stream(input_name);
  const bool output_is_stdout = is_standard_stream(output_name);

  FILE* input = input_is_stdin ? stdin : std::fopen(input_name, "rb");
  if (input == nullptr) {
    std::fprintf(stderr, "Couldn't open input binary file %s for reading.\n", input_name);
    return 1;
  }
  FILE* output = output_is_stdout ? stdout : std::fopen(output_name, "wb");
  if (output == nullptr) {
    std::fclose(input);
    std::fprintf(stderr, "Couldn't open output ascii file %s for writing.\n", output_name);
    return 1;
  }
  auto buffers = std::make_unique<stream_buffers>();
  buffer_generously(input, output, *buffers);

  auto state = std::make_unique<conversion_state>();
  // Standard output carries the text: the notes meant for it go to standard error.
  if (output_is_stdout) state->info = stderr;
  // Lines are rendered and written on a second core while the input is read.
  state->use_line_queue = true;

  std::optional<progress_display> progress;
  progress_hook hook;
  if (progress_wanted(input, output)) {
    progress.emplace(input, !output_is_stdout, progress_delay_from_environment());
    hook = progress->hook();
  }
  const conversion_result result =
      convert_stream(*state, input, output, input_name, progress ? &hook : nullptr);
  if (progress) progress->finish();

  std::fclose(input);
  const bool written = std::ferror(output) == 0;
  const bool output_ok = std::fclose(output) == 0 && written;
  return finish_run(*state, result, output_ok, output_name);
}

}  // namespace asciify
