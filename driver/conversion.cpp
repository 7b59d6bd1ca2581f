#include "driver/conversion.h"

#include <cerrno>
#include <cstring>

#include "driver/explanation.h"
#include "driver/mode_marker.h"
#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {
namespace {

// The input as the loop sees it: the window of unread bytes and whether more can be read.
struct input_window_state {
  uint8_t input_window[kWindowSize];
  input_cursor cursor;  // over input_window
  bool input_open = true;
  bool read_failed = false;
  int64_t bytes_read = 0;
};

// The offset in the input of the byte at `position` in the window.
int64_t input_offset(const input_window_state& w, int32_t position) {
  return w.bytes_read - (w.cursor.end - position);
}

// Keeps at least kLookahead unread bytes in the window while input remains. Returns whether
// it read.
bool refill(input_window_state& w, input_stream& input) {
  if (!w.input_open || w.cursor.end - w.cursor.position >= kLookahead) return false;
  const int32_t kept = w.cursor.end - w.cursor.position;
  std::memmove(w.input_window, w.input_window + w.cursor.position, kept);
  w.cursor.position = 0;
  w.cursor.end = kept;
  const size_t got = read_input(input, w.input_window + kept, kReadSize);
  if (got < static_cast<size_t>(kReadSize)) {
    w.input_open = false;
    w.read_failed = input_failed(input);
  }
  w.cursor.end += static_cast<int32_t>(got);
  w.bytes_read += static_cast<int64_t>(got);
  return true;
}

// The fault behind a line that the line writer could not lay out.
input_fault fault_of_layout(layout_result result) {
  switch (result) {
    case layout_result::complete:
      return input_fault::none;
    case layout_result::open_ended_too_long:
      return input_fault::line_too_long;
    default:
      return input_fault::record_unended;
  }
}

// Copies one ASCII line, or the part of a long line that the window holds. Returns false
// after a message.
bool copy_ascii_line(output& out, input_window_state& w, bool* inside_long_line) {
  const uint8_t* start = w.input_window + w.cursor.position;
  const int32_t available = w.cursor.end - w.cursor.position;
  const void* end_of_line = std::memchr(start, '\n', available);
  if (end_of_line != nullptr) {
    const int32_t length =
        static_cast<int32_t>(static_cast<const uint8_t*>(end_of_line) - start) + 1;
    if (!put_plain_line(out, start, length)) return false;
    w.cursor.position += length;
    *inside_long_line = false;
    return true;
  }
  w.cursor.position = w.cursor.end;
  if (w.input_open) {
    // A line longer than the window: the rest follows after the next refill.
    *inside_long_line = true;
    return put_line_part(out, start, available);
  }
  // The last line of the input has no end-of-line byte; it is kept as it stands.
  *inside_long_line = false;
  return put_plain_line(out, start, available);
}

// Everything one conversion works with.
struct conversion_run {
  conversion_state& state;
  output& out;
  input_window_state w;
  conversion_mode mode = conversion_mode::ascii;
  bool inside_long_line = false;
  conversion_result result;
  conversion_census* census;
};

// Prints where in the input the item at `item` failed and why, unless the failure was the
// output's.
void report_where(conversion_run& run, int32_t item) {
  if (run.out.write_failure_reported) return;
  const input_window_state& w = run.w;
  fault_context context;
  context.fault = run.state.fault;
  if (context.fault == input_fault::none) context.fault = fault_of_layout(run.out.layout_failure);
  context.input_ended = !w.input_open;
  context.first_byte = w.input_window[item];
  const bool header_fault = context.fault == input_fault::header_unreadable ||
                            context.fault == input_fault::header_too_new ||
                            context.fault == input_fault::header_byte_order_unknown ||
                            context.fault == input_fault::marker_line_unended;
  context.carriage_return =
      run.state.section.carriage_return && (run.mode == conversion_mode::binary || header_fault);
  run.result.failure_input_byte = input_offset(w, item);
  run.result.failure_explanation = explain_fault(context);
  report(run.out, "asciify: input byte %lld: %s\n",
         static_cast<long long>(run.result.failure_input_byte),
         run.result.failure_explanation.c_str());
}

// Notes a section started or suspended.
void take_census_of_marker(conversion_run& run, marker_kind kind, int64_t offset) {
  std::vector<section_census>& sections = run.census->sections;
  if (kind == marker_kind::start) {
    const section_settings& section = run.state.section;
    sections.push_back({offset, section.swapped, section.major, section.minor, 0});
  } else if (kind == marker_kind::suspend && !sections.empty()) {
    ++sections.back().suspensions;
  }
}

// Offers the bytes at the read position to the marker check when they may be a marker.
// Returns false after a failure.
bool check_for_marker(conversion_run& run, bool* consumed) {
  input_window_state& w = run.w;
  const uint8_t* window = w.input_window;
  const int32_t at = w.cursor.position;
  const bool possible =
      run.mode == conversion_mode::ascii
          ? !run.inside_long_line && window[at] == '*'
          : window[at] == FC_TEXT_LINE && at + 1 < w.cursor.end && window[at + 1] == '*';
  *consumed = false;
  if (!possible) return true;
  marker_kind kind;
  const marker_check check = check_mode_marker(run.state, run.out, w.cursor, run.mode, &kind);
  if (check == marker_check::failed) return false;
  *consumed = check == marker_check::consumed;
  if (!*consumed) return true;
  if (run.mode == conversion_mode::binary) run.result.binary_entered_at = input_offset(w, at);
  if (run.census != nullptr) take_census_of_marker(run, kind, input_offset(w, at));
  return true;
}

// Handles the marker, ASCII line or record at the read position. Returns false after a
// failure.
bool convert_item(conversion_run& run) {
  input_window_state& w = run.w;
  const int32_t item = w.cursor.position;
  bool consumed = false;
  bool ok = check_for_marker(run, &consumed);
  if (ok && !consumed && run.mode == conversion_mode::ascii) {
    ok = copy_ascii_line(run.out, w, &run.inside_long_line);
    if (ok && !run.inside_long_line && run.census != nullptr) ++run.census->ascii_lines;
  } else if (ok && !consumed) {
    ok = dispatch_record(run.state, run.out, w.cursor);
  }
  if (!ok) report_where(run, item);
  return ok;
}

}  // namespace

conversion_result convert_stream(conversion_state& state, output& out, input_stream& input,
                                 const char* input_name, const progress_hook* progress,
                                 conversion_census* census) {
  conversion_run run{
      state, out, input_window_state{}, conversion_mode::ascii, false, conversion_result{}, census};
  run.w.cursor.window = run.w.input_window;
  input_window_state& w = run.w;
  for (;;) {
    if (refill(w, input) && progress != nullptr) {
      // A warning the writing found goes out with the display's next refresh.
      report_pending_warning(out);
      progress->update(progress->context, input_progress_of(input).raw_bytes_read,
                       out.lines_written);
    }
    if (w.read_failed) {
      report(out, "Failed to read input file %s.\n", input_name);
      report(out, "asciify: %s: %s\n",
             std::strcmp(input_name, "-") == 0 ? "standard input" : input_name,
             input_failure_reason(input).c_str());
      break;
    }
    if (!w.input_open && w.cursor.position >= w.cursor.end) {
      // A long last line whose end was written before the input turned out to be used up.
      run.result.finished = !run.inside_long_line || end_plain_line(out);
      if (run.inside_long_line && census != nullptr) ++census->ascii_lines;
      break;
    }
    if (!convert_item(run)) break;
  }

  conversion_result& result = run.result;
  // The run ends at a failed write, also one found only now.
  if (!close_output(out)) result.finished = false;
  result.ended_in_binary = run.mode == conversion_mode::binary;
  result.lines_written = lines_in_output(out);
  result.bytes_read = w.bytes_read;
  return result;
}

int finish_run(output& out, const conversion_result& result, int close_error, const char* label) {
  const char* separator = *label != '\0' ? ": " : "";
  bool finished = result.finished;
  if (close_error != 0 && !out.write_failure_reported) {
    print_message(out, "Failed to write output file %s.\n", out.name);
    print_message(out, "asciify: %s: %s\n", out.name, std::strerror(close_error));
    finished = false;
  }
  if (!finished) {
    print_message(out, "%s%sFile conversion failed after writing %lld lines.\n", label, separator,
                  static_cast<long long>(result.lines_written));
    return 2;
  }
  if (result.ended_in_binary) {
    print_message(out,
                  "Warning: the input ended inside a binary section entered at input byte %lld; it "
                  "may be cut short.\n",
                  static_cast<long long>(result.binary_entered_at));
  }
  print_info(out, "%s%sFinished converting file, wrote %lld lines.\n", label, separator,
             static_cast<long long>(result.lines_written));
  return 0;
}

}  // namespace asciify
