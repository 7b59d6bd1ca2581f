#include "driver/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "driver/conversion.h"
#include "driver/progress.h"
#include "output/destination.h"
#include "output/output.h"

namespace asciify {
namespace {

// The buffer of the input stream belongs to the run and outlives the stream. The window
// rules of the conversion do not depend on it.
struct input_buffer {
  char bytes[kInputBufferSize];
};

// The name that stands for standard input (as IN) or standard output (as OUT).
constexpr const char* kStandardStream = "-";

constexpr const char* kHelp =
    "Usage: asciify IN OUT\n"
    "       asciify --help | --version\n"
    "\n"
    "Converts IN, a text file in which stretches of lines are binary-encoded, back into\n"
    "the plain text file OUT (replaced if it exists; never when it is IN itself).\n"
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

void print_usage() {
  std::fprintf(stderr, "Format is <input binary filename> <output ascii filename>\n");
  std::fprintf(stderr, "Try 'asciify --help' for more information.\n");
}

// How a file name is shown in the line that gives the system's reason for a failure.
const char* reason_name(const char* name, const char* standard_stream) {
  return is_standard_stream(name) ? standard_stream : name;
}

void print_reason(const char* name, int error) {
  std::fprintf(stderr, "asciify: %s: %s\n", name, std::strerror(error));
}

// Opens the input, which must be something that can be read as a file. Returns null after
// the messages.
FILE* open_input(const char* name) {
  FILE* input = is_standard_stream(name) ? stdin : std::fopen(name, "rb");
  int error = input == nullptr ? errno : 0;
  if (input != nullptr && identity_of_descriptor(fileno(input)).directory) {
    if (input != stdin) std::fclose(input);
    input = nullptr;
    error = EISDIR;
  }
  if (input == nullptr) {
    std::fprintf(stderr, "Couldn't open input binary file %s for reading.\n", name);
    print_reason(reason_name(name, "standard input"), error);
  }
  return input;
}

// Opens the output, unless it is the input itself, which opening would empty. Returns false
// after the messages.
bool open_output_destination(const char* input_name, FILE* input, const char* output_name,
                             destination* target) {
  const file_identity output_identity = is_standard_stream(output_name)
                                            ? identity_of_descriptor(STDOUT_FILENO)
                                            : identity_of_path(output_name);
  if (same_stored_file(identity_of_descriptor(fileno(input)), output_identity)) {
    std::fprintf(stderr, "asciify: %s and %s are the same file; nothing was written.\n", input_name,
                 output_name);
    return false;
  }
  if (is_standard_stream(output_name)) {
    *target = standard_output_destination();
    return true;
  }
  const int error = open_destination(output_name, target);
  if (error == 0) return true;
  std::fprintf(stderr, "Couldn't open output ascii file %s for writing.\n", output_name);
  print_reason(output_name, error);
  return false;
}

// Converts the open input into the destination and reports; returns the exit status.
int convert_into(FILE* input, const char* input_name, destination& target,
                 const char* output_name) {
  const bool to_standard_output = is_standard_stream(output_name);
  auto out = std::make_unique<output>();
  out->name = reason_name(output_name, "standard output");
  // Standard output carries the text: the notes meant for it go to standard error.
  if (to_standard_output) out->info = stderr;
  // Lines are rendered and written on a second core while the input is read.
  open_output(*out, destination_sink(target), target.regular ? kOutputBufferSize : kMinOutputBuffer,
              target.terminal, true);

  std::optional<progress_display> progress;
  progress_hook hook;
  if (progress_wanted(input, target.terminal)) {
    progress.emplace(input, !to_standard_output, progress_delay_from_environment());
    hook = progress->hook();
  }
  auto state = std::make_unique<conversion_state>();
  const conversion_result result =
      convert_stream(*state, *out, input, input_name, progress ? &hook : nullptr);
  if (progress) progress->finish();
  return finish_run(*out, result, close_destination(target));
}

}  // namespace

int run_command_line(int argc, char** argv) {
  if (argc == 2) {
    if (const std::optional<int> status = run_option(argv[1])) return *status;
  }
  // Two file names: a third one is more likely a slip of the shell than a wish.
  if (argc != 3) {
    print_usage();
    return 1;
  }
  const char* input_name = argv[1];
  const char* output_name = argv[2];
  FILE* input = open_input(input_name);
  if (input == nullptr) return 1;
  std::unique_ptr<input_buffer> buffer = std::make_unique<input_buffer>();
  std::setvbuf(input, buffer->bytes, _IOFBF, sizeof buffer->bytes);
  destination target;
  int status = 1;
  if (open_output_destination(input_name, input, output_name, &target)) {
    status = convert_into(input, input_name, target, output_name);
  }
  if (input != stdin) std::fclose(input);
  return status;
}

}  // namespace asciify
