// Runs of data records of one layout gathered as columns, from the items of a reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asciify/reader.h"

namespace asciify {

// The item at the head of the reader, without taking it (nullptr at the end), and taking it.
const line_item* peek_item(reader& r);
void skip_item(reader& r);

// One field's values of a run.
struct column_store {
  value_type type = value_type::int32;
  std::vector<unsigned char> values;
  std::string chars;
  std::vector<uint32_t> offsets;
  std::vector<uint8_t> zero_fill;
};

struct batch_builder {
  std::vector<uint8_t> layout;
  std::vector<column_store> stores;
  std::vector<batch_column> columns;
  std::string heading;  // the last text line met so far, without its newline
  std::string batch_heading;
  record_batch batch;
};

// Gathers the next run of at most `max_rows` rows. nullptr when no data record is left.
const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows);

}  // namespace asciify
