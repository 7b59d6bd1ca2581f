// The reader: every line the converter writes, and the numbers of every binary record as
// values. It runs the converter itself (the same loop, records and messages) and hands the
// program one item at a time, each a line with what it came from, or runs of records of one
// layout as columns. Memory stays bounded by the longest line; readers are independent of each
// other and each is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "asciify/export.h"

namespace asciify {

enum class item_kind { ascii_line = 1, text_record = 2, data_record = 3 };

// Which kind of binary record a data record is.
enum class record_source { none, cached_format, line_specific, hardwired };

enum class value_type { int32, int64, real32, real64, string };

// One field of a data record, in this machine's byte order whatever the file's.
struct field_value {
  value_type type = value_type::int32;
  // The field is zero-filled: a zero-fill marker stood in it or in a number before it (its
  // value is then zero, a string empty).
  bool zero_fill = false;
  int64_t integer = 0;    // int32, int64
  double real = 0;        // real32 (the 4-byte value widened), real64; NaN and infinities too
  std::string_view text;  // string: its characters as the line writer reads them
};

// One line as the command writes it.
struct line_item {
  item_kind kind = item_kind::ascii_line;
  std::string_view text;    // byte for byte, with its end-of-line byte (a last line may lack it)
  int64_t line_number = 0;  // 1-based, as in the command's messages
  int64_t input_byte = 0;   // where its line or record begins in the (decompressed) input
  // Of a record: its format code (-1 for an ASCII line); of a data record also its kind, its
  // field format bytes (its layout), its fields, and whether its numbers were stored in the
  // reverse of this machine's byte order.
  int format_code = -1;
  record_source source = record_source::none;
  std::span<const uint8_t> layout;
  std::span<const field_value> fields;
  bool swapped = false;
};

// One field of a batch: a value per row, in one contiguous array of the field's type (int32_t,
// int64_t, float, double); a string field holds the characters of every row one after the
// other, row r from offsets[r] to offsets[r + 1]. zero_fill[r] is 1 for a zero-filled field.
struct batch_column {
  value_type type = value_type::int32;
  const void* values = nullptr;
  const char* chars = nullptr;
  const uint32_t* offsets = nullptr;
  const uint8_t* zero_fill = nullptr;
};

// Consecutive data records of one layout, as columns.
struct record_batch {
  std::span<const uint8_t> layout;
  int64_t rows = 0;
  std::span<const batch_column> columns;
  int64_t first_line = 0;        // line number of the first row
  int64_t first_input_byte = 0;  // where its record begins
  std::string_view heading;      // the last text line before the run, without its newline
};

// The first error, which ends the reading: the command's message (without its newline), where
// the failing marker, header or record begins in the input (-1 when the input's content was not
// the cause, as for a read error) and the number of the line being made.
struct read_error {
  std::string message;
  int64_t input_byte = -1;
  int64_t line = 0;
};

struct reader;
struct reader_deleter {
  ASCIIFY_API void operator()(reader* r) const;
};
using reader_ptr = std::unique_ptr<reader, reader_deleter>;

// An opened reader, or why the input could not be opened ("No such file or directory" and the
// system's error number, 0 for a reason of the library's own).
struct reader_opening {
  reader_ptr reader;
  std::string reason;
  int system_error = 0;
};

// Reads a file by its name (UTF-8), compressed input as the command reads it.
ASCIIFY_API reader_opening open_reader_file(const std::string& path);
// Reads `size` bytes at `data`, which must outlive the reader; compressed ones are decompressed.
ASCIIFY_API reader_opening open_reader_memory(const void* data, size_t size);
// Reads what `read` gives: up to `capacity` bytes into `buffer`, their count, 0 at the end, or
// 0 with *error set to the system's error number of a failure.
using read_function = size_t (*)(void* context, void* buffer, size_t capacity, int* error);
ASCIIFY_API reader_opening open_reader_callback(read_function read, void* context);

// The next line; nullptr at the end of the input or at the error (see reader_error). What it
// points to stays valid until the next call on the reader. A reader whose first call is this
// one writes the texts as the command does, on a second thread of its own; one whose first call
// is next_batch makes no text, and writes a line's text from its values when it is asked.
ASCIIFY_API const line_item* next_item(reader& r);

// The next run of data records of one layout, at most `max_rows` of them (at least 1); the
// lines between runs are passed over. nullptr at the end or at the error. A run ends at a line
// that is no data record, at a record of another layout, or at max_rows.
ASCIIFY_API const record_batch* next_batch(reader& r, int64_t max_rows);

// The error that ended the reading, or nullptr.
ASCIIFY_API const read_error* reader_error(const reader& r);

// How far the reading is: the bytes of the file read (compressed ones for a compressed input)
// and its size (-1 when not known, as for a pipe or a callback).
struct read_progress {
  int64_t bytes_read = 0;
  int64_t total_bytes = -1;
};
ASCIIFY_API read_progress reader_progress(const reader& r);

// Writes the values of a data record with the converter's own field writers, as the command
// wrote them; gives its text again (an item of another kind gives its text as it is).
ASCIIFY_API std::string render_values(const line_item& item);

}  // namespace asciify
