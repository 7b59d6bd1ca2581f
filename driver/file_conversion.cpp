#include "driver/file_conversion.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "driver/command_line.h"
#include "driver/progress.h"
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

// Bytes handed to the converter at a time.
constexpr size_t kFeedSize = 1 << 16;

// Messages as the command prints them: errors and warnings on standard error, the notes on
// standard output, or on standard error when standard output carries the text.
struct message_streams {
  FILE* errors = stderr;
  FILE* notes = stdout;
};

void print_message(void* context, message_kind kind, const char* text, size_t size) {
  const auto* streams = static_cast<const message_streams*>(context);
  std::fwrite(text, 1, size, kind == message_kind::error ? streams->errors : streams->notes);
}

int close_target(void* context) {
  return close_destination(*static_cast<destination*>(context));
}

// Converts the open input into the destination and reports; returns the exit status.
int convert_into(input_stream& input, const char* input_name, destination& target,
                 const char* output_name, const report_settings& settings, int64_t* lines_written) {
  const bool to_standard_output = is_standard_stream(output_name);
  message_streams streams{stderr, to_standard_output ? stderr : stdout};
  convert_options options;
  options.input_name = input_name;
  options.input_reason_name = reason_name(input_name, "standard input");
  options.output_name = reason_name(output_name, "standard output");
  options.quiet = settings.quiet;
  options.decompress = false;  // the input decompresses itself, on a thread of its own
  // Lines are rendered and written on a second core while the input is read.
  options.second_thread = true;
  options.buffer_size = target.regular ? kOutputBufferSize : kMinOutputBuffer;
  options.line_buffered = target.terminal;
  options.summary_label = settings.label;
  byte_sink text = destination_sink(target);
  text.close = close_target;

  std::optional<progress_display> progress;
  if (progress_wanted(platform::is_terminal(input_descriptor(input)), target.terminal)) {
    progress.emplace(input_progress_of(input).raw_size, !to_standard_output,
                     progress_delay_from_environment());
  }
  const converter_ptr c = make_converter(options, text, {print_message, &streams});
  const int status = feed_and_finish(*c, input, progress ? &*progress : nullptr);
  *lines_written = converting_report(*c).lines_written;
  return status;
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

int feed_and_finish(converter& c, input_stream& input, progress_display* progress) {
  const uint8_t* bytes = nullptr;
  for (;;) {
    const size_t got = next_input_bytes(input, &bytes, kFeedSize);
    const bool more = got > 0 && convert_bytes(c, bytes, got);
    if (progress != nullptr) {
      progress->update(input_progress_of(input).raw_bytes_read, converting_report(c).lines_written);
    }
    if (!more) break;
  }
  const int status =
      finish_converting(c, input_failed(input) ? input_failure_reason(input).c_str() : nullptr);
  if (progress != nullptr) progress->finish();
  return status;
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
