// The buffered writer of the converted text. It knows where every line ends in what it holds,
// so that after a failed write it can tell exactly which lines reached the destination, and
// cut a line that reached a regular file only in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "asciify/sinks.h"

namespace asciify {

// How a line was made, which decides the words of the message when it cannot be written.
enum class line_kind : uint8_t { plain, formatted };

// What a failed write left behind.
struct write_failure {
  int64_t lines_in_output = 0;  // complete lines that reached the destination
  int64_t line_length = 0;      // bytes of the next line, the first that did not reach it whole
  int64_t line_accepted = 0;    // of those, the bytes the destination took
  line_kind kind = line_kind::plain;
  int error = 0;  // the system's error number
};

struct output_file {
  byte_sink sink;
  // Passes each line on as soon as it is complete (a terminal).
  bool line_buffered = false;

  std::unique_ptr<char[]> buffer;
  size_t capacity = 0;
  size_t used = 0;
  // Where the lines completed in the buffer end (offsets into it), with the line's kind in
  // the top bit; flushed when full.
  std::unique_ptr<uint32_t[]> ends;
  uint32_t end_capacity = 0;
  uint32_t end_count = 0;
  // The kind of the line still being appended in parts.
  line_kind open_kind = line_kind::plain;

  int64_t flushed = 0;          // bytes taken by the destination, all told
  int64_t lines_in_output = 0;  // complete lines among them
  int64_t end_of_lines = 0;     // where the last of those lines ends

  bool failed = false;
  write_failure failure;
};

// Room for the largest single append: any line or part of a line the conversion makes.
constexpr size_t kMinOutputBuffer = 64 * 1024;

// Prepares `file` to write to `sink` through a buffer of `capacity` bytes (at least
// kMinOutputBuffer).
void open_output_file(output_file& file, byte_sink sink, size_t capacity, bool line_buffered);

// Hands the buffered bytes to the sink. Returns false when the destination did not take them
// all (then or before); `failure` tells what reached it.
bool flush_output(output_file& file);

// Complete lines appended so far, whether or not they have reached the destination.
inline int64_t lines_appended(const output_file& file) {
  return file.lines_in_output + file.end_count;
}

// Appends `count` bytes (at most kMinOutputBuffer) of the current line. Returns false when a
// write has failed.
inline bool append_part(output_file& file, const char* bytes, size_t count) {
  if (count > file.capacity - file.used && !flush_output(file)) return false;
  std::memcpy(file.buffer.get() + file.used, bytes, count);
  file.used += count;
  return !file.failed;
}

// Ends the current line, which is of `kind`. Returns false when a write has failed.
inline bool end_line(output_file& file, line_kind kind) {
  if (file.end_count == file.end_capacity && !flush_output(file)) return false;
  const uint32_t kind_bit = kind == line_kind::formatted ? 0x80000000u : 0;
  file.ends[file.end_count++] = static_cast<uint32_t>(file.used) | kind_bit;
  if (file.line_buffered) return flush_output(file);
  return !file.failed;
}

// Appends a complete line of `count` bytes (at most kMinOutputBuffer).
inline bool append_line(output_file& file, const char* bytes, size_t count, line_kind kind) {
  file.open_kind = kind;
  return append_part(file, bytes, count) && end_line(file, kind);
}

// Marks the line being appended in parts as being of `kind`.
inline void begin_line(output_file& file, line_kind kind) {
  file.open_kind = kind;
}

}  // namespace asciify
