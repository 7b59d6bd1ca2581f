#include "programs/asciify/file_conversion.h"

#include <cstdio>
#include <optional>

#include "cli/files.h"
#include "platform/failure_reason.h"
#include "platform/files.h"
#include "programs/asciify/command_line.h"

namespace asciify {
namespace {

using cli::reason_name;

// The buffer of an output that is no regular file: the least the converter takes.
constexpr size_t kStreamBufferSize = 1 << 16;

// Messages as the command prints them: errors and warnings on standard error, the notes on
// standard output, or on standard error when standard output carries the text.
struct message_streams {
  cli::message_log* log;
  cli::line_stream notes = cli::line_stream::output;
};

void print_message(void* context, message_kind kind, const char* text, size_t size) {
  const auto* streams = static_cast<const message_streams*>(context);
  log_text(*streams->log, kind == message_kind::error ? cli::line_stream::error : streams->notes,
           text, size);
}

bool take_bytes(void* context, const uint8_t* bytes, size_t size) {
  return convert_bytes(*static_cast<converter*>(context), bytes, size);
}

int64_t lines_so_far(void* context) {
  return converting_report(*static_cast<converter*>(context)).lines_written;
}

// Converts the open input into the destination and reports; returns the exit status.
int convert_into(input_stream& input, const char* input_name, cli::destination& target,
                 const char* output_name, const report_settings& settings, cli::message_log& log,
                 int64_t* lines_written) {
  const bool to_standard_output = cli::is_standard_stream(output_name);
  message_streams streams{&log,
                          to_standard_output ? cli::line_stream::error : cli::line_stream::output};
  convert_options options;
  options.input_name = input_name;
  options.input_reason_name = reason_name(input_name, "standard input");
  options.output_name = reason_name(output_name, "standard output");
  options.quiet = settings.quiet;
  options.decompress = false;  // the input decompresses itself, on a thread of its own
  // Lines are rendered and written on a second core while the input is read.
  options.second_thread = settings.threads > 1;
  options.buffer_size = target.regular ? kOutputBufferSize : kStreamBufferSize;
  options.line_buffered = target.terminal;

  std::optional<cli::progress_display> progress;
  if (settings.progress &&
      cli::progress_wanted(platform::is_terminal(input_descriptor(input)), target.terminal)) {
    progress.emplace("asciify", input_progress_of(input).raw_size, !to_standard_output,
                     cli::progress_delay_from_environment("ASCIIFY_PROGRESS_DELAY_MS"));
  }
  converter_ptr c;
  try {
    c = make_converter(options, cli::destination_sink(target), {print_message, &streams});
  } catch (...) {
    // No memory for the converter's buffers: nothing was written.
    log_format(log, cli::line_stream::error,
               "asciify: %s\nFile conversion failed after writing 0 lines.\n",
               platform::reason_of_current_exception().c_str());
    cli::close_destination(target);
    return 2;
  }
  const int status = feed_and_finish(*c, input, progress ? &*progress : nullptr);
  *lines_written = converting_report(*c).lines_written;
  return status;
}

}  // namespace

int feed_and_finish(converter& c, input_stream& input, cli::progress_display* progress) {
  cli::pump_input(input, {take_bytes, lines_so_far, &c}, progress);
  const read_failure_kind kind = input_failed_after_streams(input)
                                     ? read_failure_kind::after_the_data
                                     : read_failure_kind::cut_short;
  const int status = finish_converting(
      c, input_failed(input) ? input_failure_reason(input).c_str() : nullptr, kind);
  if (progress != nullptr) progress->finish();
  return status;
}

int convert_file_pair(const char* input_name, const char* output_name,
                      const report_settings& settings, cli::message_log& log,
                      int64_t* lines_written) {
  *lines_written = 0;
  input_options reading;
  reading.decompress = settings.decompress;
  reading.decode_in_thread = settings.threads > 1;
  const input_handle input = cli::open_input(kAsciify, input_name, reading, log);
  if (input == nullptr) return 1;
  cli::destination target;
  if (!cli::open_output_for(kAsciify, input_name, *input, output_name, ".asciify-", &target, log)) {
    return 1;
  }
  // What was written goes in place after a failed conversion too (the lines before the error),
  // when the converter closes it: a failed move fails the run before its summary.
  target.move_at_close = true;
  const int status =
      convert_into(*input, input_name, target, output_name, settings, log, lines_written);
  // (Only when the converter never closed it.)
  const int settle_error = cli::settle_destination(target, true);
  if (settle_error == 0) return status;
  cli::print_reason(kAsciify, output_name, settle_error, log);
  return 2;
}

}  // namespace asciify
