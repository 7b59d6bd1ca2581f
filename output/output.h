// The output of one conversion run: the text file with its buffered writer, the count of
// lines made and of lines known to be in the file, the message streams, the once-per-run
// warning, and (privately) the second thread that renders and writes lines in order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "asciify/sinks.h"
#include "output/output_file.h"
#include "text/line_writer.h"

namespace asciify {

struct line_queue;
void delete_line_queue(line_queue* queue);

}  // namespace asciify

// Lets std::unique_ptr<line_queue> delete a queue whose type is private to line_queue.cpp.
template <>
struct std::default_delete<asciify::line_queue> {
  void operator()(asciify::line_queue* queue) const { asciify::delete_line_queue(queue); }
};

namespace asciify {

// The most data bytes a formatted line may use, and the most bytes of one part of a plain
// line.
constexpr int32_t kMaxLineData = 16 * 1024;

// Where the item being converted comes from, set before it is handled: for an observer of the
// lines, which is told of each line as it goes out.
enum class line_origin : uint8_t {
  ascii_line,
  text_record,
  cached_format,
  line_specific,
  hardwired
};
struct item_origin {
  line_origin origin = line_origin::ascii_line;
  uint8_t code = 0;        // the record's format code
  int64_t input_byte = 0;  // where its line or record begins in the input
  // Of a hard-wired line: bit p set when output field p was zero-filled before it was staged.
  uint32_t staged_zero_fill = 0;
};

// What an observer is told of a line, or of a part of one, once the output has taken it.
struct observed_line {
  const char* text = nullptr;
  // Of a line of fields told without its text: the size of the text when it is known (in
  // fixed columns), else 0.
  int32_t length = 0;
  bool ends_line = true;  // false: a part of a line longer than the input window
  // For a line of fields: its format, the data it was rendered from and their settings.
  const format_entry* format = nullptr;
  const uint8_t* data = nullptr;
  int32_t start = 0;
  int32_t limit = 0;
  line_settings settings{};
  // The line's fields are numbers in fixed columns, none of them the zero-fill marker: its
  // data are the format's plain_size bytes, one field after the other.
  bool only_numbers = false;
};
struct line_observer {
  void (*take)(void* context, const item_origin& origin, const observed_line& line) = nullptr;
  void* context = nullptr;
};

struct output {
  output_file file;
  const char* name = "output";  // the destination, for messages
  // Where messages go: errors and warnings, and (unless `notes` is off) the informational
  // notes. Called on the reading thread only.
  message_sink messages;
  bool notes = true;

  // Lines made so far, whether queued, buffered or written; a message about the line being
  // made names the next one.
  int64_t lines_written = 0;
  // The warning about values written as '*' is given once per run.
  bool wide_value_warning_given = false;
  // Fields written as '*', counted when lines are written at once (without a queue).
  int64_t starred_fields = 0;
  // A failed write is reported once.
  bool write_failure_reported = false;
  // Why the last line that could not be laid out failed (complete: none did).
  layout_result layout_failure = layout_result::complete;

  // Told of every line as it is written, or with a queue as it is queued (a line of fields
  // then without its text, which goes to the file later). With `observe_only` (no queue) the
  // lines go to the observer alone: nothing is written, and a line of fields is checked, not
  // rendered (the observer is told of it without its text).
  line_observer observer;
  bool observe_only = false;
  // Set by the observer: the loop returns after the item being converted, when it can.
  bool pause_requested = false;
  item_origin item;

  std::unique_ptr<line_queue> queue;
  char line_buffer[kLineBufferSize];
};

// Prepares `out` to write to `sink` through a buffer of `buffer_size` bytes. With `use_queue`
// lines are rendered and written on a second thread, in order, while the caller reads on; the
// result is the same.
void open_output(output& out, byte_sink sink, size_t buffer_size, bool line_buffered,
                 bool use_queue);

// Writes everything still queued or buffered and stops the second thread. Returns false when
// a write failed (reported).
bool close_output(output& out);

// Complete lines known to be in the destination: after a failed write, those before it.
inline int64_t lines_in_output(const output& out) {
  return out.file.failed ? out.file.lines_in_output : out.lines_written;
}

// The number of the line being made, for messages.
inline long long next_line(const output& out) {
  return static_cast<long long>(out.lines_written + 1);
}

// Gives one message (an error or warning) at once.
void print_message(output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Gives one informational note at once, unless notes are left out.
void print_info(output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Gives one message, after everything made before it has been written. When one of those writes
// failed, its message is printed instead (once).
void report(output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Gives one informational note likewise. Returns false when a write failed instead.
bool report_info(output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints the message of the failed write, its reason on the next line; once per run.
void report_write_failure(output& out);

// Prints the '*' warning if the second thread has found it since, without waiting for the
// lines queued.
void report_pending_warning(output& out);

// Writes `count` bytes as one complete line. Returns false after a failed write (reported).
bool put_plain_line(output& out, const uint8_t* bytes, int32_t count);

// Writes `count` bytes and a newline as one complete line, likewise.
bool put_text_with_newline(output& out, const uint8_t* bytes, int32_t count);

// Writes `count` bytes of a line whose end comes later (a line longer than the input window),
// and ends it. Return false after a failed write (reported).
bool put_line_part(output& out, const uint8_t* bytes, int32_t count);
bool end_plain_line(output& out);

// Renders the fields of `format` from `data` (from `start`, never reading at or past `limit`)
// and writes the line. Returns the offset just past the data used, or nothing after one
// message.
std::optional<int32_t> write_formatted_line(output& out, const line_settings& settings,
                                            const format_entry& format, const uint8_t* data,
                                            int32_t start, int32_t limit);

// Writes a line of a format of numbers in fixed columns (format.plain_size >= 0) from its
// plain_size data bytes, which the caller has found free of the zero-fill marker. Returns
// false after a message.
bool write_plain_line(output& out, const line_settings& settings, const format_entry& format,
                      const uint8_t* data);

}  // namespace asciify
