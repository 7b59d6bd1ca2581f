#include "cli/files.h"

#include <cerrno>
#include <cstdio>

#include "cli/progress.h"
#include "platform/files.h"

namespace asciify::cli {
namespace {

// Bytes handed on at a time.
constexpr size_t kPieceSize = 1 << 16;

}  // namespace

named_input try_open_input(const program_words& words, const char* name,
                           const input_options& options) {
  input_opening opening =
      is_standard_stream(name) ? open_standard_input(options) : open_input_file(name, options);
  named_input opened{std::move(opening.stream), "", ""};
  if (opened.stream != nullptr) return opened;
  // Windows refuses to open a folder with "access denied": say what it is.
  const bool folder = !is_standard_stream(name) && identity_of_path(name).directory;
  opened.message =
      std::string("Couldn't open input ") + words.input_kind + " file " + name + " for reading.";
  opened.reason = folder ? system_error_text(EISDIR) : opening.reason;
  return opened;
}

void print_open_failure(const program_words& words, const char* name, const named_input& opened,
                        message_log& log) {
  log_format(log, line_stream::error, "%s\n%s: %s: %s\n", opened.message.c_str(), words.program,
             reason_name(name, "standard input"), opened.reason.c_str());
}

input_handle open_input(const program_words& words, const char* name, const input_options& options,
                        message_log& log) {
  named_input opened = try_open_input(words, name, options);
  if (opened.stream == nullptr) print_open_failure(words, name, opened, log);
  return std::move(opened.stream);
}

file_identity identity_of_input(const input_stream& input) {
  const int descriptor = input_descriptor(input);
  return descriptor < 0 ? file_identity{} : identity_of_descriptor(descriptor);
}

bool open_output_for(const program_words& words, const char* input_name, const input_stream& input,
                     const char* output_name, const char* beside_suffix, destination* target,
                     message_log& log) {
  const file_identity output_identity = is_standard_stream(output_name)
                                            ? identity_of_descriptor(platform::kStandardOutput)
                                            : identity_of_path(output_name);
  if (same_stored_file(identity_of_input(input), output_identity)) {
    log_format(log, line_stream::error, "%s: %s and %s are the same file; nothing was written.\n",
               words.program, input_name, output_name);
    return false;
  }
  if (is_standard_stream(output_name)) {
    *target = standard_output_destination();
    return true;
  }
  const int error = beside_suffix != nullptr
                        ? open_destination_beside(output_name, beside_suffix, target)
                        : open_destination(output_name, target);
  if (error == 0) return true;
  log_format(log, line_stream::error, "Couldn't open output %s file %s for writing.\n",
             words.output_kind, output_name);
  print_reason(words, output_name, error, log);
  return false;
}

void pump_input(input_stream& input, input_consumer consumer, progress_display* progress) {
  const uint8_t* bytes = nullptr;
  for (;;) {
    const size_t got = next_input_bytes(input, &bytes, kPieceSize);
    const bool more = got > 0 && consumer.take(consumer.context, bytes, got);
    if (progress != nullptr) {
      progress->update(input_progress_of(input).raw_bytes_read, consumer.lines(consumer.context));
    }
    if (!more) return;
  }
}

}  // namespace asciify::cli
