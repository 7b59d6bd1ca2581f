// The converter of the public interface: the conversion loop fed with the bytes given, through
// the decompressor when they start like a compressed stream, with the messages told apart for
// the report on their way to the caller's sink.
#include "asciify/converter.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "convert/conversion.h"
#include "convert/observe.h"
#include "input/decoder.h"
#include "input/piece_decoder.h"

namespace asciify {

struct converter {
  convert_options options;
  byte_sink text;
  message_sink messages;
  std::unique_ptr<conversion_state> state = std::make_unique<conversion_state>();
  std::unique_ptr<output> out = std::make_unique<output>();
  conversion_loop loop;
  input_intake intake;
  // The first bytes, held until there are enough to tell a compressed input.
  uint8_t head[kSignatureBytes] = {};
  size_t head_size = 0;
  bool detecting = false;
  std::unique_ptr<piece_decoder> decoder;
  bool finished = false;
  convert_report report;
};

namespace {

constexpr std::string_view kWarning = "Warning: ";

// Notes what the report keeps of a message and passes it on.
void take_message(void* context, message_kind kind, const char* text, size_t size) {
  auto& c = *static_cast<converter*>(context);
  if (kind == message_kind::error) {
    const std::string_view line(text, size > 0 && text[size - 1] == '\n' ? size - 1 : size);
    if (line.starts_with(kWarning)) {
      c.report.warnings.emplace_back(line);
    } else if (c.report.failure_message.empty()) {
      c.report.failure_message = line;
    }
  }
  if (c.messages.write != nullptr) c.messages.write(c.messages.context, kind, text, size);
}

void fill_scratch(conversion_state& state, output& out, uint8_t fill) {
  std::memset(state.staging_buffer, fill, sizeof state.staging_buffer);
  std::memset(state.format_storage, fill, sizeof state.format_storage);
  std::memset(state.lsf_buffer, fill, sizeof state.lsf_buffer);
  std::memset(state.hardwired_storage, fill, sizeof state.hardwired_storage);
  std::memset(out.line_buffer, fill, sizeof out.line_buffer);
}

// Hands decompressed (or plain) bytes to the loop.
void feed_loop(converter& c, const uint8_t* bytes, size_t size) {
  if (c.loop.stopped) return;
  c.intake.piece = bytes;
  c.intake.piece_left = size;
  run_conversion(c.loop, *c.state, *c.out, c.intake);
  c.intake.piece = nullptr;
  c.intake.piece_left = 0;
}

void take_decoded(void* context, const uint8_t* bytes, size_t size) {
  feed_loop(*static_cast<converter*>(context), bytes, size);
}

// The input could not be read to its end: the loop ends at the bytes that arrived.
void fail_input(converter& c, std::string reason, bool after_data = false) {
  c.intake.failure = std::move(reason);
  c.intake.failure_after_data = after_data;
  c.intake.ended = true;
  run_conversion(c.loop, *c.state, *c.out, c.intake);
}

void feed_raw(converter& c, const uint8_t* bytes, size_t size) {
  if (c.decoder == nullptr) {
    feed_loop(c, bytes, size);
  } else if (!decode_piece(*c.decoder, bytes, size, {take_decoded, &c})) {
    fail_input(c, piece_failure_reason(*c.decoder), piece_failed_after_streams(*c.decoder));
  }
}

// Tells the kind of input from its first bytes and feeds them.
void end_detection(converter& c) {
  c.detecting = false;
  const compression_kind kind = detect_compression(c.head, c.head_size);
  c.report.compression = compression_name(kind);
  if (kind != compression_kind::none) {
    std::string reason;
    c.decoder = make_piece_decoder(kind, &reason);
    if (c.decoder == nullptr) return fail_input(c, std::move(reason));
  }
  feed_raw(c, c.head, c.head_size);
}

void fill_report(converter& c, const conversion_result& result, int status) {
  convert_report& r = c.report;
  r.lines_written = result.lines_written;
  r.finished = result.finished && status == 0;
  r.exit_status = status;
  r.failure_input_byte = result.failure_input_byte;
  r.failure_explanation = result.failure_explanation;
  r.ended_in_binary = result.ended_in_binary;
  r.binary_entered_at = result.binary_entered_at;
  r.bytes_read = result.bytes_read;
  r.starred_fields = c.out->starred_fields;
  r.ascii_lines = c.loop.census.ascii_lines;
  r.sections.clear();
  for (const section_census& s : c.loop.census.sections) {
    r.sections.push_back({s.input_byte, s.swapped, s.major, s.minor, s.suspensions});
  }
  const handled_records& counts = c.state->counts;
  r.records.text_lines = counts.text_lines;
  r.records.format_resets = counts.format_resets;
  r.records.cached_definitions = counts.cached_definitions;
  r.records.cached_data = counts.cached_data;
  std::copy(std::begin(counts.line_specific), std::end(counts.line_specific),
            r.records.line_specific);
  std::copy(std::begin(counts.hardwired), std::end(counts.hardwired), r.records.hardwired);
}

}  // namespace

void converter_deleter::operator()(converter* c) const {
  delete c;
}

converter_ptr make_converter(const convert_options& options, byte_sink text,
                             message_sink messages) {
  converter_ptr c(new converter);
  c->options = options;
  if (c->options.input_reason_name.empty()) c->options.input_reason_name = c->options.input_name;
  c->text = text;
  c->messages = messages;
  c->detecting = options.decompress;
  output& out = *c->out;
  out.name = c->options.output_name.c_str();
  out.messages = {take_message, c.get()};
  out.notes = !options.quiet;
  fill_scratch(*c->state, out, options.scratch_fill);
  open_output(out, text, std::max(options.buffer_size, kMinOutputBuffer), options.line_buffered,
              options.second_thread);
  start_conversion(c->loop, {c->options.input_name.c_str(), c->options.input_reason_name.c_str()});
  return c;
}

bool convert_bytes(converter& c, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (c.detecting && !c.loop.stopped) {
    const size_t taken = std::min(size, kSignatureBytes - c.head_size);
    std::memcpy(c.head + c.head_size, bytes, taken);
    c.head_size += taken;
    bytes += taken;
    size -= taken;
    if (c.head_size == kSignatureBytes) end_detection(c);
  }
  if (!c.detecting && size > 0 && !c.loop.stopped) feed_raw(c, bytes, size);
  // A warning the writing thread found goes out now rather than with the next message, so
  // that a display refreshed between two pieces shows it.
  report_pending_warning(*c.out);
  c.report.lines_written = c.out->lines_written;
  return !c.loop.stopped;
}

int finish_converting(converter& c, const char* read_failure) {
  return finish_converting(c, read_failure, read_failure_kind::cut_short);
}

int finish_converting(converter& c, const char* read_failure, read_failure_kind kind) {
  if (c.finished) return c.report.exit_status;
  c.finished = true;
  if (c.detecting && !c.loop.stopped) end_detection(c);
  if (c.decoder != nullptr && !c.loop.stopped && !finish_pieces(*c.decoder, {take_decoded, &c})) {
    fail_input(c, piece_failure_reason(*c.decoder), piece_failed_after_streams(*c.decoder));
  }
  if (read_failure != nullptr && !c.loop.stopped) {
    fail_input(c, read_failure, kind == read_failure_kind::after_the_data);
  }
  const conversion_result& result = end_conversion(c.loop, *c.state, *c.out, c.intake);
  const int close_error = c.text.close != nullptr ? c.text.close(c.text.context) : 0;
  const int status = finish_run(*c.out, result, close_error, c.options.summary_label.c_str());
  fill_report(c, result, status);
  return status;
}

void observe_lines(converter& c, line_observer observer, bool observe_only) {
  c.out->observer = observer;
  c.out->observe_only = observe_only && c.out->queue == nullptr;
}

void pause_after_item(converter& c) {
  c.out->pause_requested = true;
}

bool converting_paused(const converter& c) {
  return c.loop.paused;
}

bool resume_converting(converter& c) {
  feed_loop(c, nullptr, 0);
  c.report.lines_written = c.out->lines_written;
  return !c.loop.stopped;
}

const convert_report& converting_report(const converter& c) {
  return c.report;
}

}  // namespace asciify
