// Runs of data records of one layout gathered as columns, from the items of a reader, or
// straight from the lines the converter checks while the reader has nothing queued.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asciify/reader.h"
#include "read/field_values.h"

namespace asciify {

// The item at the head of the reader as runs read it, without taking it (nullptr at the end):
// a data record's kept data, another line's text.
struct run_item {
  item_kind kind = item_kind::ascii_line;
  std::string_view text;
  int64_t line_number = 0;
  int64_t input_byte = 0;
  kept_record record;
};
const run_item* peek_run_item(reader& r);
// Takes the item at the head of the reader.
void skip_item(reader& r);
// Whether the reader has items queued that were not taken.
bool items_queued(const reader& r);
// Converts input, with nothing queued, until a line is queued or the input ends (rows the
// run takes straight, see take_row, are not queued). Returns false at the end.
bool convert_for_run(reader& r);

// One field's values of a run; room for `capacity` rows of the builder.
struct column_store {
  value_type type = value_type::int32;
  uint32_t size = 0;                  // bytes of a value; 0 for a string
  uint32_t offset = 0;                // where a number lies in a record of only numbers
  std::vector<unsigned char> values;  // a value per row
  std::string chars;
  std::vector<uint32_t> offsets;
  std::vector<uint8_t> zero_fill;  // zeros beyond the first `filled_rows`
  int64_t filled_rows = 0;         // zero_fill holds no 1 from here on
};

// Where a number of a record of only numbers goes: its column's values, its place in the
// record and its size.
struct number_slot {
  unsigned char* values;
  uint32_t offset;
  uint32_t size;
};

// The columns of one run. A builder has two: while the caller holds the batch of one run, the
// record that ended it can begin the next in the other.
struct column_set {
  std::vector<uint8_t> layout;
  std::vector<column_store> stores;  // the first layout.size() are the run's; never shrunk
  std::vector<number_slot> slots;    // of the run's columns
  bool words_only = false;           // every field of the layout is a 4-byte number
  // Rows every store has room for, with values of 8 bytes, whatever the layout.
  int64_t capacity = 0;
};

struct batch_builder {
  column_set sets[2];
  column_set* run = &sets[0];   // the run being gathered, or last handed out
  column_set* next = &sets[1];  // the next run, when the record that ended the run began it
  bool next_begun = false;      // the next run holds that record, its first row
  int64_t next_first_line = 0;
  int64_t next_first_input_byte = 0;
  std::vector<batch_column> columns;
  int64_t max_rows = 0;
  bool started = false;
  // Rows are taken straight from the converter (nothing is queued before them).
  bool accepting = false;
  // The last text line met so far, without its newline: the heading of the run handed out,
  // since it changes only before a run begins.
  std::string heading;
  record_batch batch;

  batch_builder() = default;
  batch_builder(const batch_builder&) = delete;  // (it points at its own sets)
  batch_builder& operator=(const batch_builder&) = delete;
};

enum class row_taken {
  into_run,       // the run goes on
  into_next_run,  // the record ended the run and begins the next: the run is to be handed out
  not_taken,      // not accepting rows, or the next run is begun already
};

// Takes a record the converter has checked (line number `line_number`) into the run being
// gathered, or, when the run is full or its layout is another, into the next run.
row_taken take_row(batch_builder& b, const kept_record& record, int64_t line_number,
                   int64_t input_byte);

// Gathers the next run of at most `max_rows` rows. nullptr when no data record is left.
const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows);

}  // namespace asciify
