#include "driver/file_conversion.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "driver/command_line.h"
#include "driver/conversion.h"
#include "driver/progress.h"
#include "output/output.h"
#include "platform/files.h"

namespace asciify {
namespace {

// Opens the output, unless it is the input itself, which opening would empty. Returns false
// after the messages.
bool open_output_destination(const char* input_name, const input_stream& input,
                             const char* output_name, destination* target) {
  const file_identity output_identity = is_standard_stream(output_name)
                                            ? identity_of_descriptor(platform::kStandardOutput)
                                            : identity_of_path(output_name);
  if (same_stored_file(identity_of_input(input), output_identity)) {
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
int convert_into(input_stream& input, const char* input_name, destination& target,
                 const char* output_name, const report_settings& settings, int64_t* lines_written) {
  const bool to_standard_output = is_standard_stream(output_name);
  auto out = std::make_unique<output>();
  out->name = reason_name(output_name, "standard output");
  // Standard output carries the text: the notes meant for it go to standard error.
  out->info = settings.quiet ? nullptr : to_standard_output ? stderr : stdout;
  // Lines are rendered and written on a second core while the input is read.
  open_output(*out, destination_sink(target), target.regular ? kOutputBufferSize : kMinOutputBuffer,
              target.terminal, true);

  std::optional<progress_display> progress;
  progress_hook hook;
  if (progress_wanted(platform::is_terminal(input_descriptor(input)), target.terminal)) {
    progress.emplace(input_progress_of(input).raw_size, !to_standard_output,
                     progress_delay_from_environment());
    hook = progress->hook();
  }
  auto state = std::make_unique<conversion_state>();
  const conversion_result result =
      convert_stream(*state, *out, input, input_name, progress ? &hook : nullptr);
  if (progress) progress->finish();
  *lines_written = result.lines_written;
  return finish_run(*out, result, close_destination(target), settings.label.c_str());
}

}  // namespace

bool is_standard_stream(const char* name) {
  return std::strcmp(name, "-") == 0;
}

const char* reason_name(const char* name, const char* standard_stream) {
  return is_standard_stream(name) ? standard_stream : name;
}

void print_reason(const char* name, int error) {
  std::fprintf(stderr, "asciify: %s: %s\n", name, std::strerror(error));
}

input_handle open_input(const char* name) {
  input_opening opening = is_standard_stream(name) ? open_standard_input() : open_input_file(name);
  if (opening.stream == nullptr) {
    std::fprintf(stderr, "Couldn't open input binary file %s for reading.\n", name);
    std::fprintf(stderr, "asciify: %s: %s\n", reason_name(name, "standard input"),
                 opening.reason.c_str());
  }
  return std::move(opening.stream);
}

file_identity identity_of_input(const input_stream& input) {
  const int descriptor = input_descriptor(input);
  return descriptor < 0 ? file_identity{} : identity_of_descriptor(descriptor);
}

int convert_file_pair(const char* input_name, const char* output_name,
                      const report_settings& settings, int64_t* lines_written) {
  *lines_written = 0;
  const input_handle input = open_input(input_name);
  if (input == nullptr) return 1;
  destination target;
  if (!open_output_destination(input_name, *input, output_name, &target)) return 1;
  return convert_into(*input, input_name, target, output_name, settings, lines_written);
}

}  // namespace asciify
