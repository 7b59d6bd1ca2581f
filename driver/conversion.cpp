#include "driver/conversion.h"

#include <cerrno>
#include <cstring>

#include "driver/mode_marker.h"
#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {
namespace {

// The input as the loop sees it: the window of unread bytes and whether more can be read.
struct input_window_state {
  uint8_t input_window[kWindowSize];
  int32_t read_pos = 0;
  int32_t window_end = 0;
  bool input_open = true;
  int read_error = 0;  // the system's error number of a failed read
  int64_t bytes_read = 0;
};

// The offset in the input of the byte at `position` in the window.
int64_t input_offset(const input_window_state& w, int32_t position) {
  return w.bytes_read - (w.window_end - position);
}

// Keeps at least kLookahead unread bytes in the window while input remains. Returns whether
// it read.
bool refill(input_window_state& w, FILE* input) {
  if (!w.input_open || w.window_end - w.read_pos >= kLookahead) return false;
  const int32_t kept = w.window_end - w.read_pos;
  std::memmove(w.input_window, w.input_window + w.read_pos, kept);
  w.read_pos = 0;
  w.window_end = kept;
  errno = 0;
  const size_t got = std::fread(w.input_window + kept, 1, kReadSize, input);
  if (got < static_cast<size_t>(kReadSize)) {
    w.input_open = false;
    if (std::ferror(input) != 0) w.read_error = errno != 0 ? errno : EIO;
  }
  w.window_end += static_cast<int32_t>(got);
  w.bytes_read += static_cast<int64_t>(got);
  return true;
}

// Copies one ASCII line, or the part of a long line that the window holds. Returns false
// after a message.
bool copy_ascii_line(output& out, input_window_state& w, bool* inside_long_line) {
  const uint8_t* start = w.input_window + w.read_pos;
  const int32_t available = w.window_end - w.read_pos;
  const void* end_of_line = std::memchr(start, '\n', available);
  if (end_of_line != nullptr) {
    const int32_t length =
        static_cast<int32_t>(static_cast<const uint8_t*>(end_of_line) - start) + 1;
    if (!put_plain_line(out, start, length)) return false;
    w.read_pos += length;
    *inside_long_line = false;
    return true;
  }
  w.read_pos = w.window_end;
  if (w.input_open) {
    // A line longer than the window: the rest follows after the next refill.
    *inside_long_line = true;
    return put_line_part(out, start, available);
  }
  // The last line of the input has no end-of-line byte; it is kept as it stands.
  *inside_long_line = false;
  return put_plain_line(out, start, available);
}

}  // namespace

conversion_result convert_stream(conversion_state& state, output& out, FILE* input,
                                 const char* input_name, const progress_hook* progress) {
  input_window_state w;
  int32_t binary_mode = 0;
  bool inside_long_line = false;
  conversion_result result;

  for (;;) {
    if (refill(w, input) && progress != nullptr) {
      // A warning the writing found goes out with the display's next refresh.
      report_pending_warning(out);
      progress->update(progress->context, w.bytes_read, out.lines_written);
    }
    if (w.read_error != 0) {
      report(out, "Failed to read input file %s.\n", input_name);
      report_reason(out, std::strcmp(input_name, "-") == 0 ? "standard input" : input_name,
                    w.read_error);
      break;
    }
    if (!w.input_open && w.read_pos >= w.window_end) {
      // A long last line whose end was written before the input turned out to be used up.
      if (inside_long_line && !end_plain_line(out)) break;
      result.finished = true;
      break;
    }
    uint8_t* window = w.input_window;
    const bool marker_possible = binary_mode == 0 ? !inside_long_line && window[w.read_pos] == '*'
                                                  : window[w.read_pos] == FC_TEXT_LINE &&
                                                        w.read_pos + 1 < w.window_end &&
                                                        window[w.read_pos + 1] == '*';
    if (marker_possible) {
      const int32_t at = w.read_pos;
      const int32_t marker =
          check_mode_marker(state, out, window, &w.read_pos, w.window_end, &binary_mode);
      if (marker == -1) break;
      if (marker == 1) {
        if (binary_mode == 1) result.binary_entered_at = input_offset(w, at);
        continue;
      }
    }
    if (binary_mode == 0) {
      if (!copy_ascii_line(out, w, &inside_long_line)) break;
    } else if (dispatch_record(state, out, window, &w.read_pos, w.window_end) == -1) {
      break;
    }
  }

  // The run ends at a failed write, also one found only now.
  if (!close_output(out)) result.finished = false;
  result.ended_in_binary = binary_mode == 1;
  result.lines_written = lines_in_output(out);
  result.bytes_read = w.bytes_read;
  return result;
}

int finish_run(output& out, const conversion_result& result, int close_error) {
  bool finished = result.finished;
  if (close_error != 0 && !out.write_failure_reported) {
    std::fprintf(out.messages, "Failed to write output file %s.\n", out.name);
    std::fprintf(out.messages, "asciify: %s: %s\n", out.name, std::strerror(close_error));
    finished = false;
  }
  if (!finished) {
    std::fprintf(out.messages, "File conversion failed after writing %lld lines.\n",
                 static_cast<long long>(result.lines_written));
    return 2;
  }
  if (result.ended_in_binary) {
    std::fprintf(out.messages,
                 "Warning: the input ended inside a binary section entered at input byte %lld; it "
                 "may be cut short.\n",
                 static_cast<long long>(result.binary_entered_at));
  }
  std::fprintf(out.info, "Finished converting file, wrote %lld lines.\n",
               static_cast<long long>(result.lines_written));
  return 0;
}

}  // namespace asciify
