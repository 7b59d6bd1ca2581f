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

input_handle open_input(const program_words& words, const char* name) {
  input_opening opening = is_standard_stream(name) ? open_standard_input() : open_input_file(name);
  if (opening.stream == nullptr) {
    // Windows refuses to open a folder with "access denied": say what it is.
    const bool folder = !is_standard_stream(name) && identity_of_path(name).directory;
    std::fprintf(stderr, "Couldn't open input %s file %s for reading.\n", words.input_kind, name);
    std::fprintf(stderr, "%s: %s: %s\n", words.program, reason_name(name, "standard input"),
                 folder ? system_error_text(EISDIR).c_str() : opening.reason.c_str());
  }
  return std::move(opening.stream);
}

file_identity identity_of_input(const input_stream& input) {
  const int descriptor = input_descriptor(input);
  return descriptor < 0 ? file_identity{} : identity_of_descriptor(descriptor);
}

bool open_output_for(const program_words& words, const char* input_name, const input_stream& input,
                     const char* output_name, const char* beside_suffix, destination* target) {
  const file_identity output_identity = is_standard_stream(output_name)
                                            ? identity_of_descriptor(platform::kStandardOutput)
                                            : identity_of_path(output_name);
  if (same_stored_file(identity_of_input(input), output_identity)) {
    std::fprintf(stderr, "%s: %s and %s are the same file; nothing was written.\n", words.program,
                 input_name, output_name);
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
  std::fprintf(stderr, "Couldn't open output %s file %s for writing.\n", words.output_kind,
               output_name);
  print_reason(words, output_name, error);
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
