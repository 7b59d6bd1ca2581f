#include "output/output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "output/line_queue.h"

namespace asciify {
namespace {

static_assert(kLineBufferSize <= static_cast<int32_t>(kMinOutputBuffer) &&
              kMaxLineData <= static_cast<int32_t>(kMinOutputBuffer));

// Formats a message and hands it to the sink.
void give(const message_sink& sink, message_kind kind, const char* format, va_list arguments) {
  if (sink.write == nullptr) return;
  char text[512];
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(text, sizeof text, format, copy);
  va_end(copy);
  if (length < 0) return;
  if (static_cast<size_t>(length) < sizeof text) {
    sink.write(sink.context, kind, text, static_cast<size_t>(length));
    return;
  }
  // A long name in the message: formatted again with room for all of it.
  std::string long_text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(long_text.data(), long_text.size(), format, arguments);
  sink.write(sink.context, kind, long_text.data(), static_cast<size_t>(length));
}

// Writes everything made so far. Returns false after reporting a failed write.
bool settle(output& out) {
  if (out.queue != nullptr && !drain_line_queue(*out.queue)) return false;
  if (flush_output(out.file)) return true;
  report_write_failure(out);
  return false;
}

void report_layout_failure(output& out, layout_result result) {
  out.layout_failure = result;
  switch (result) {
    case layout_result::unterminated_open_ended:
      report(out, "Error reading open-ended C format in <write_formatted_line> at line %lld\n",
             next_line(out));
      break;
    case layout_result::open_ended_too_long:
      report(out,
             "Attempted buffer overrun copying open-ended C format in <write_formatted_line> at "
             "line %lld\n",
             next_line(out));
      break;
    default:
      report(out,
             "Record data runs past the end of the input in <write_formatted_line> at line %lld\n",
             next_line(out));
      break;
  }
}

// Gives the '*' warning for the line just written, once per run.
void note_wide_values(output& out, int32_t first_star_width) {
  if (first_star_width < 0 || out.wide_value_warning_given) return;
  out.wide_value_warning_given = true;
  report(out, "Warning: value too wide for its %d-column field at line %lld, written as '*'\n",
         first_star_width, static_cast<long long>(out.lines_written));
}

// Tells the observer, when there is one, of text that the output took.
void observe(output& out, const char* text, int32_t length, bool ends_line) {
  if (out.observer.take == nullptr) return;
  observed_line line;
  line.text = text;
  line.length = length;
  line.ends_line = ends_line;
  out.observer.take(out.observer.context, out.item, line);
}

// Appends a complete line to the file. Returns false after reporting a failed write.
bool append_now(output& out, const char* text, int32_t length, line_kind kind) {
  if (out.observe_only) {
    ++out.lines_written;
    return true;
  }
  if (!append_line(out.file, text, static_cast<size_t>(length), kind)) {
    report_write_failure(out);
    return false;
  }
  ++out.lines_written;
  return true;
}

// Renders the line into the line buffer; reports a layout that fails and gives nothing then.
std::optional<rendered_text> render_or_report(output& out, const line_settings& settings,
                                              const format_entry& format, const uint8_t* data,
                                              int32_t start, int32_t limit) {
  rendered_text rendered;
  const layout_result result =
      render_formatted_line(settings, format, data, start, limit, out.line_buffer, &rendered);
  if (result == layout_result::complete) return rendered;
  report_layout_failure(out, result);
  return std::nullopt;
}

// The size of a measured line's text when the measure is exact (fixed columns), else 0.
int32_t exact_size(const line_measure& measure) {
  return measure.exact ? measure.text_bound : 0;
}

// Tells the observer, when there is one, of a line of fields without its text: the data it
// is written from, up to the end of what it uses, and the size of its text when it is known
// (else 0).
void observe_fields(output& out, const line_settings& settings, const format_entry& format,
                    const uint8_t* data, int32_t start, int32_t limit, int32_t end,
                    bool only_numbers, int32_t text_size) {
  if (out.observer.take == nullptr) return;
  const observed_line observed{
      nullptr, text_size, true, &format, data, start, std::min(limit, end), settings, only_numbers};
  out.observer.take(out.observer.context, out.item, observed);
}

// Queues a line of a plain format and tells the observer of it (kept off the command's path).
[[gnu::noinline]] bool queue_observed_plain_line(output& out, const line_settings& settings,
                                                 const format_entry& format, const uint8_t* data) {
  const line_measure measure{format.plain_width + 1, format.plain_size, true, true};
  if (!queue_formatted_line(*out.queue, settings, format.bytes, format.count, data,
                            format.plain_size, measure, out.lines_written)) {
    return false;
  }
  ++out.lines_written;
  observe_fields(out, settings, format, data, 0, format.plain_size, format.plain_size, true,
                 measure.text_bound);
  return true;
}

// Checks a line without rendering it and tells the observer of it. Returns the end of its
// data.
std::optional<int32_t> observe_unrendered(output& out, const line_settings& settings,
                                          const format_entry& format, const uint8_t* data,
                                          int32_t start, int32_t limit,
                                          const line_measure& measure) {
  ++out.lines_written;
  observe_fields(out, settings, format, data, start, limit, measure.end,
                 measure.only_numbers && format.plain_size >= 0, exact_size(measure));
  return measure.end;
}

// Writes a line rendered into the line buffer at once and tells the observer of it.
bool write_rendered_now(output& out, const line_settings& settings, const format_entry& format,
                        const uint8_t* data, int32_t start, int32_t limit,
                        const rendered_text& rendered) {
  if (!append_now(out, out.line_buffer, rendered.length, line_kind::formatted)) return false;
  if (out.observer.take != nullptr) {
    const observed_line observed{
        out.line_buffer, rendered.length, true, &format, data, start, std::min(limit, rendered.end),
        settings};
    out.observer.take(out.observer.context, out.item, observed);
  }
  out.starred_fields += rendered.star_count;
  note_wide_values(out, rendered.first_star_width);
  return true;
}

// Renders the line and writes it at once (with `observe_only`, checks it and tells the
// observer). Returns the end of its data, or nothing after a message.
std::optional<int32_t> write_line_now(output& out, const line_settings& settings,
                                      const format_entry& format, const uint8_t* data,
                                      int32_t start, int32_t limit) {
  if (out.observe_only) {
    line_measure measure{};
    const layout_result checked =
        measure_formatted_line(settings, format, data, start, limit, &measure);
    if (checked == layout_result::complete) {
      return observe_unrendered(out, settings, format, data, start, limit, measure);
    }
    if (checked != layout_result::needs_rendering) {
      report_layout_failure(out, checked);
      return std::nullopt;
    }
  }
  const std::optional<rendered_text> line =
      render_or_report(out, settings, format, data, start, limit);
  if (!line || !write_rendered_now(out, settings, format, data, start, limit, *line)) {
    return std::nullopt;
  }
  return line->end;
}

// Queues a line that only its rendered text can check. Returns the end of its data, or nothing
// after a message.
std::optional<int32_t> queue_rendered(output& out, const line_settings& settings,
                                      const format_entry& format, const uint8_t* data,
                                      int32_t start, int32_t limit) {
  const std::optional<rendered_text> line =
      render_or_report(out, settings, format, data, start, limit);
  if (!line) return std::nullopt;
  const rendered_text& rendered = *line;
  if (!queue_rendered_line(*out.queue, out.line_buffer, rendered.length, rendered.first_star_width,
                           out.lines_written)) {
    return std::nullopt;
  }
  return rendered.end;
}

}  // namespace

void open_output(output& out, byte_sink sink, size_t buffer_size, bool line_buffered,
                 bool use_queue) {
  open_output_file(out.file, sink, buffer_size, line_buffered);
  out.lines_written = 0;
  out.wide_value_warning_given = false;
  out.write_failure_reported = false;
  out.starred_fields = 0;
  out.layout_failure = layout_result::complete;
  out.queue = use_queue ? open_line_queue(out) : nullptr;
}

bool close_output(output& out) {
  bool ok = true;
  if (out.queue != nullptr) {
    ok = close_line_queue(*out.queue);
    out.queue = nullptr;
  }
  return ok && settle(out);
}

void print_message(output& out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  give(out.messages, message_kind::error, format, arguments);
  va_end(arguments);
}

void print_info(output& out, const char* format, ...) {
  if (!out.notes) return;
  va_list arguments;
  va_start(arguments, format);
  give(out.messages, message_kind::note, format, arguments);
  va_end(arguments);
}

void report(output& out, const char* format, ...) {
  if (!settle(out)) return;
  va_list arguments;
  va_start(arguments, format);
  give(out.messages, message_kind::error, format, arguments);
  va_end(arguments);
}

bool report_info(output& out, const char* format, ...) {
  if (!settle(out)) return false;
  if (!out.notes) return true;
  va_list arguments;
  va_start(arguments, format);
  give(out.messages, message_kind::note, format, arguments);
  va_end(arguments);
  return true;
}

void report_write_failure(output& out) {
  if (out.write_failure_reported) return;
  out.write_failure_reported = true;
  const write_failure& failure = out.file.failure;
  const auto line = static_cast<long long>(failure.lines_in_output + 1);
  if (failure.kind == line_kind::formatted) {
    print_message(out,
                  "Failed to write output buffer to file (only %d of %d characters output) at line "
                  "%lld\n",
                  static_cast<int>(failure.line_accepted), static_cast<int>(failure.line_length),
                  line);
  } else {
    print_message(out, "Failed to write %lld bytes to output file at line %lld\n",
                  static_cast<long long>(failure.line_length), line);
  }
  print_message(out, "asciify: %s: %s\n", out.name, std::strerror(failure.error));
}

void report_pending_warning(output& out) {
  if (out.queue != nullptr) report_line_queue_warning(*out.queue);
}

bool put_plain_line(output& out, const uint8_t* bytes, int32_t count) {
  if (out.queue == nullptr) {
    const char* text = reinterpret_cast<const char*>(bytes);
    if (!append_now(out, text, count, line_kind::plain)) return false;
    observe(out, text, count, true);
    return true;
  }
  if (!queue_text(*out.queue, bytes, count, true, out.lines_written)) return false;
  ++out.lines_written;
  observe(out, reinterpret_cast<const char*>(bytes), count, true);
  return true;
}

bool put_line_part(output& out, const uint8_t* bytes, int32_t count) {
  const char* text = reinterpret_cast<const char*>(bytes);
  if (out.queue != nullptr) {
    if (!queue_text(*out.queue, bytes, count, false, out.lines_written)) return false;
    observe(out, text, count, false);
    return true;
  }
  begin_line(out.file, line_kind::plain);
  if (out.observe_only || append_part(out.file, text, static_cast<size_t>(count))) {
    observe(out, text, count, false);
    return true;
  }
  report_write_failure(out);
  return false;
}

bool end_plain_line(output& out) {
  static constexpr uint8_t kNothing = 0;
  return put_plain_line(out, &kNothing, 0);
}

bool put_text_with_newline(output& out, const uint8_t* bytes, int32_t count) {
  static constexpr char kNewline = '\n';
  if (out.queue != nullptr) {
    if (!queue_text_line(*out.queue, bytes, count, out.lines_written)) return false;
    ++out.lines_written;
    observe(out, reinterpret_cast<const char*>(bytes), count, false);
    observe(out, &kNewline, 1, true);
    return true;
  }
  begin_line(out.file, line_kind::plain);
  if (!out.observe_only &&
      (!append_part(out.file, reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)) ||
       !append_part(out.file, &kNewline, 1) || !end_line(out.file, line_kind::plain))) {
    report_write_failure(out);
    return false;
  }
  ++out.lines_written;
  observe(out, reinterpret_cast<const char*>(bytes), count, false);
  observe(out, &kNewline, 1, true);
  return true;
}

bool write_plain_line(output& out, const line_settings& settings, const format_entry& format,
                      const uint8_t* data) {
  // Numbers in columns without a zero-fill marker: the line cannot fail.
  const line_measure measure{format.plain_width + 1, format.plain_size, true, true};
  if (out.queue != nullptr && out.observer.take == nullptr) [[likely]] {
    if (!queue_formatted_line(*out.queue, settings, format.bytes, format.count, data,
                              format.plain_size, measure, out.lines_written)) {
      return false;
    }
    ++out.lines_written;
    return true;
  }
  if (out.queue != nullptr) return queue_observed_plain_line(out, settings, format, data);
  if (out.observe_only) {
    return observe_unrendered(out, settings, format, data, 0, format.plain_size, measure)
        .has_value();
  }
  // Rendered without the checks of a line of any format, which this one cannot fail.
  const rendered_text rendered = render_plain_line(settings, format, data, out.line_buffer);
  return write_rendered_now(out, settings, format, data, 0, format.plain_size, rendered);
}

std::optional<int32_t> write_formatted_line(output& out, const line_settings& settings,
                                            const format_entry& format, const uint8_t* data,
                                            int32_t start, int32_t limit) {
  if (out.queue == nullptr) return write_line_now(out, settings, format, data, start, limit);
  // With a line queue the line is only measured and checked here; it is rendered and written
  // in order with the others later.
  line_measure measure{};
  const layout_result result =
      measure_formatted_line(settings, format, data, start, limit, &measure);
  std::optional<int32_t> end = measure.end;
  if (result == layout_result::needs_rendering) {
    end = queue_rendered(out, settings, format, data, start, limit);
  } else if (result != layout_result::complete) {
    report_layout_failure(out, result);
    end = std::nullopt;
  } else if (!queue_formatted_line(*out.queue, settings, format.bytes, format.count, data + start,
                                   measure.end - start, measure, out.lines_written)) {
    end = std::nullopt;
  }
  if (!end) return end;
  ++out.lines_written;
  if (out.observer.take != nullptr) {
    const bool complete = result == layout_result::complete;
    observe_fields(out, settings, format, data, start, limit, *end,
                   complete && measure.only_numbers && format.plain_size >= 0,
                   complete ? exact_size(measure) : 0);
  }
  return end;
}

}  // namespace asciify
