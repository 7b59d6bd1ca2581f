#include "driver/conversion.h"

#include <cstring>

#include "driver/mode_marker.h"
#include "records/record_handlers.h"
#include "text/line_queue.h"

namespace asciify {
namespace {

// The input as the loop sees it: the window of unread bytes and whether more can be read.
struct input_window_state {
  uint8_t input_window[kWindowSize];
  int32_t read_pos = 0;
  int32_t window_end = 0;
  bool input_open = true;
  bool read_error = false;
  int64_t bytes_read = 0;
};

// Keeps at least kLookahead unread bytes in the window while input remains. Returns whether
// it read.
bool refill(input_window_state& w, FILE* input) {
  if (!w.input_open || w.window_end - w.read_pos >= kLookahead) return false;
  const int32_t kept = w.window_end - w.read_pos;
  std::memmove(w.input_window, w.input_window + w.read_pos, kept);
  w.read_pos = 0;
  w.window_end = kept;
  const size_t got = fread_unlocked(w.input_window + kept, 1, kReadSize, input);
  if (got < static_cast<size_t>(kReadSize)) {
    w.input_open = false;
    w.read_error = ferror_unlocked(input) != 0;
  }
  w.window_end += static_cast<int32_t>(got);
  w.bytes_read += static_cast<int64_t>(got);
  return true;
}

// Copies one ASCII line, or the part of a long line that the window holds. Returns false
// after a message.
bool copy_ascii_line(const conversion_state& state, FILE* output, input_window_state& w,
                     int64_t* lines_written, bool* inside_long_line) {
  const uint8_t* start = w.input_window + w.read_pos;
  const int32_t available = w.window_end - w.read_pos;
  const void* end_of_line = std::memchr(start, '\n', available);
  if (end_of_line != nullptr) {
    const int32_t length =
        static_cast<int32_t>(static_cast<const uint8_t*>(end_of_line) - start) + 1;
    if (!write_plain_text(state, output, start, length, *lines_written)) return false;
    ++*lines_written;
    w.read_pos += length;
    *inside_long_line = false;
    return true;
  }
  if (!write_plain_text(state, output, start, available, *lines_written)) return false;
  w.read_pos = w.window_end;
  if (w.input_open) {
    // A line longer than the window: the rest follows after the next refill.
    *inside_long_line = true;
  } else {
    // The last line of the input has no end-of-line byte; it is kept as it stands.
    ++*lines_written;
    *inside_long_line = false;
  }
  return true;
}

}  // namespace

conversion_result convert_stream(conversion_state& state, FILE* input, FILE* output,
                                 const char* input_name, const progress_hook* progress) {
  input_window_state w;
  int32_t binary_mode = 0;
  int64_t lines_written = 0;
  bool inside_long_line = false;
  conversion_result result;
  std::unique_ptr<line_queue> queue;
  if (state.use_line_queue) {
    queue = open_line_queue(state, output);
    state.queue = queue.get();
  }

  for (;;) {
    if (refill(w, input) && progress != nullptr) {
      // A warning the writing found goes out with the display's next refresh.
      if (queue != nullptr) report_line_queue_warning(*queue);
      progress->update(progress->context, w.bytes_read, lines_written);
    }
    if (w.read_error) {
      report(state, "Failed to read input file %s.\n", input_name);
      break;
    }
    if (!w.input_open && w.read_pos >= w.window_end) {
      // A long last line whose end was written before the input turned out to be used up.
      if (inside_long_line) ++lines_written;
      result.finished = true;
      break;
    }
    uint8_t* window = w.input_window;
    if (binary_mode == 0) {
      if (!inside_long_line && window[w.read_pos] == '*') {
        const int32_t marker =
            check_mode_marker(state, window, &w.read_pos, w.window_end, &binary_mode);
        if (marker == -1) break;
        if (marker == 1) continue;
      }
      if (!copy_ascii_line(state, output, w, &lines_written, &inside_long_line)) break;
      continue;
    }
    if (window[w.read_pos] == FC_TEXT_LINE && w.read_pos + 1 < w.window_end &&
        window[w.read_pos + 1] == '*') {
      const int32_t marker =
          check_mode_marker(state, window, &w.read_pos, w.window_end, &binary_mode);
      if (marker == -1) break;
      if (marker == 1) continue;
    }
    if (dispatch_record(state, output, window, &w.read_pos, w.window_end, &lines_written) == -1) {
      break;
    }
  }

  if (queue != nullptr) {
    state.queue = nullptr;
    if (!close_line_queue(*queue)) {
      // The run ends at the failed write, as it would have without the queue.
      result.finished = false;
      lines_written = lines_before_failure(*queue);
    }
  }
  result.write_failed = !result.finished && ferror_unlocked(output) != 0;
  result.lines_written = lines_written;
  result.bytes_read = w.bytes_read;
  return result;
}

int finish_run(const conversion_state& state, const conversion_result& result, bool output_ok,
               const char* output_name) {
  bool finished = result.finished;
  if (!output_ok && !result.write_failed) {
    report(state, "Failed to write output file %s.\n", output_name);
    finished = false;
  }
  if (!finished) {
    report(state, "File conversion failed after writing %lld lines.\n",
           static_cast<long long>(result.lines_written));
    return 2;
  }
  std::fprintf(state.info, "Finished converting file, wrote %lld lines.\n",
               static_cast<long long>(result.lines_written));
  return 0;
}

}  // namespace asciify
