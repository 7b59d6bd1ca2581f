#include "convert/conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "convert/explanation.h"
#include "convert/mode_marker.h"
#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {
namespace {

// The offset in the input of the byte at `position` in the window.
int64_t input_offset(const input_window_state& w, int32_t position) {
  return w.bytes_read - (w.cursor.end - position);
}

size_t bytes_arrived(const input_intake& intake) {
  return static_cast<size_t>(intake.carried) + intake.piece_left;
}

// Copies up to `wanted` bytes that have arrived to `destination`, the carried ones first.
size_t take_arrived(input_intake& intake, uint8_t* destination, size_t wanted) {
  const size_t from_carry = std::min(wanted, static_cast<size_t>(intake.carried));
  std::memcpy(destination, intake.carry, from_carry);
  std::memmove(intake.carry, intake.carry + from_carry, intake.carried - from_carry);
  intake.carried -= static_cast<int32_t>(from_carry);
  const size_t from_piece = std::min(wanted - from_carry, intake.piece_left);
  if (from_piece > 0) std::memcpy(destination + from_carry, intake.piece, from_piece);
  intake.piece += from_piece;
  intake.piece_left -= from_piece;
  return from_carry + from_piece;
}

// Keeps the rest of the piece for the next refill (at a pause, what fits_in_carry allowed).
void carry_rest(input_intake& intake) {
  // (No piece at all when the loop goes on after a pause.)
  if (intake.piece_left > 0)
    std::memcpy(intake.carry + intake.carried, intake.piece, intake.piece_left);
  intake.carried += static_cast<int32_t>(intake.piece_left);
  intake.piece = nullptr;
  intake.piece_left = 0;
}

// Whether the loop may pause here: the rest of the piece fits behind what is carried, and
// more input is to come (the end runs through).
bool fits_in_carry(const input_intake& intake) {
  return !intake.ended &&
         static_cast<size_t>(intake.carried) + intake.piece_left <= sizeof intake.carry;
}

enum class refill_step { not_needed, refilled, waiting };

// Keeps at least kLookahead unread bytes in the window while input remains, reading
// kReadSize bytes at a time; a read of fewer ends the input. Waits while a whole read has not
// arrived and more is to come.
refill_step refill(input_window_state& w, input_intake& intake) {
  if (!w.input_open || w.cursor.end - w.cursor.position >= kLookahead) {
    return refill_step::not_needed;
  }
  if (!intake.ended && bytes_arrived(intake) < static_cast<size_t>(kReadSize)) {
    return refill_step::waiting;
  }
  const int32_t kept = w.cursor.end - w.cursor.position;
  std::memmove(w.input_window, w.input_window + w.cursor.position, kept);
  w.cursor.position = 0;
  w.cursor.end = kept;
  const size_t got = take_arrived(intake, w.input_window + kept, kReadSize);
  if (got < static_cast<size_t>(kReadSize)) {
    w.input_open = false;
    w.read_failed = !intake.failure.empty() && !intake.failure_after_data;
  }
  w.cursor.end += static_cast<int32_t>(got);
  w.bytes_read += static_cast<int64_t>(got);
  return refill_step::refilled;
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

// Everything one pass of the loop works with.
struct conversion_run {
  conversion_state& state;
  output& out;
  conversion_loop& loop;
  input_window_state& w;
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
  context.carriage_return = run.state.section.carriage_return &&
                            (run.loop.mode == conversion_mode::binary || header_fault);
  conversion_result& result = run.loop.result;
  result.failure_input_byte = input_offset(w, item);
  result.failure_explanation = explain_fault(context);
  report(run.out, "asciify: input byte %lld: %s\n",
         static_cast<long long>(result.failure_input_byte), result.failure_explanation.c_str());
}

// Notes a section started or suspended.
void take_census_of_marker(conversion_run& run, marker_kind kind, int64_t offset) {
  std::vector<section_census>& sections = run.loop.census.sections;
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
  conversion_loop& loop = run.loop;
  const bool possible =
      loop.mode == conversion_mode::ascii
          ? !loop.inside_long_line && window[at] == '*'
          : window[at] == FC_TEXT_LINE && at + 1 < w.cursor.end && window[at + 1] == '*';
  *consumed = false;
  if (!possible) return true;
  marker_kind kind;
  const marker_check check = check_mode_marker(run.state, run.out, w.cursor, loop.mode, &kind);
  if (check == marker_check::failed) return false;
  *consumed = check == marker_check::consumed;
  if (!*consumed) return true;
  if (loop.mode == conversion_mode::binary) loop.result.binary_entered_at = input_offset(w, at);
  take_census_of_marker(run, kind, input_offset(w, at));
  return true;
}

// Handles the marker, ASCII line or record at the read position. Returns false after a
// failure.
bool convert_item(conversion_run& run) {
  input_window_state& w = run.w;
  const int32_t item = w.cursor.position;
  bool consumed = false;
  conversion_loop& loop = run.loop;
  if (!loop.inside_long_line) {
    run.out.item.origin = line_origin::ascii_line;
    run.out.item.input_byte = input_offset(w, item);
  }
  bool ok = check_for_marker(run, &consumed);
  if (ok && !consumed && loop.mode == conversion_mode::ascii) {
    ok = copy_ascii_line(run.out, w, &loop.inside_long_line);
    if (ok && !loop.inside_long_line) ++loop.census.ascii_lines;
  } else if (ok && !consumed) {
    ok = dispatch_record(run.state, run.out, w.cursor);
  }
  if (!ok) report_where(run, item);
  return ok;
}

// Stops the loop at the end of the input, after the failed read that ended it, or after the
// item that failed.
void stop(conversion_run& run, bool finished) {
  run.loop.stopped = true;
  run.loop.result.finished = finished;
}

// Reports the failed read that ended the input.
void report_read_failure(conversion_run& run, const input_intake& intake) {
  report(run.out, "Failed to read input file %s.\n", run.loop.names.name);
  report(run.out, "asciify: %s: %s\n", run.loop.names.reason_name, intake.failure.c_str());
}

}  // namespace

void start_conversion(conversion_loop& loop, input_names names) {
  loop.w.cursor = input_cursor{loop.w.input_window, 0, 0};
  loop.w.input_open = true;
  loop.w.read_failed = false;
  loop.w.bytes_read = 0;
  loop.mode = conversion_mode::ascii;
  loop.inside_long_line = false;
  loop.stopped = false;
  loop.result = conversion_result{};
  loop.census = conversion_census{};
  loop.names = names;
}

bool run_conversion(conversion_loop& loop, conversion_state& state, output& out,
                    input_intake& intake) {
  conversion_run run{state, out, loop, loop.w};
  input_window_state& w = loop.w;
  loop.paused = false;
  while (!loop.stopped) {
    if (refill(w, intake) == refill_step::waiting) {
      carry_rest(intake);
      return true;
    }
    if (w.read_failed) {
      report_read_failure(run, intake);
      stop(run, false);
    } else if (!w.input_open && w.cursor.position >= w.cursor.end) {
      // A long last line whose end was written before the input turned out to be used up.
      bool finished = !loop.inside_long_line || end_plain_line(out);
      if (loop.inside_long_line) ++loop.census.ascii_lines;
      if (finished && !intake.failure.empty()) {
        report_read_failure(run, intake);
        finished = false;
      }
      stop(run, finished);
    } else if (!convert_item(run)) {
      stop(run, false);
    } else if (std::exchange(out.pause_requested, false) && fits_in_carry(intake)) {
      carry_rest(intake);
      loop.paused = true;
      return true;
    }
  }
  return false;
}

const conversion_result& end_conversion(conversion_loop& loop, conversion_state& state, output& out,
                                        input_intake& intake) {
  intake.ended = true;
  run_conversion(loop, state, out, intake);
  conversion_result& result = loop.result;
  // The run ends at a failed write, also one found only now.
  if (!close_output(out)) result.finished = false;
  result.ended_in_binary = loop.mode == conversion_mode::binary;
  result.lines_written = lines_in_output(out);
  result.bytes_read = loop.w.bytes_read;
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
