// Runs of data records of one layout gathered as columns, from the items of a reader.
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

// One field's values of a run.
struct column_store {
  value_type type = value_type::int32;
  std::vector<unsigned char> values;  // the first `used` bytes hold values, the rest is room
  size_t used = 0;
  std::string chars;
  std::vector<uint32_t> offsets;
  std::vector<uint8_t> zero_fill;
};

struct batch_builder {
  std::vector<uint8_t> layout;
  std::vector<column_store> stores;  // the first layout.size() are the run's; never shrunk
  std::vector<batch_column> columns;
  std::string heading;  // the last text line met so far, without its newline
  std::string batch_heading;
  record_batch batch;
};

// Gathers the next run of at most `max_rows` rows. nullptr when no data record is left.
const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows);

}  // namespace asciify
