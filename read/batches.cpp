#include "read/batches.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"

namespace asciify {
namespace {

// Gives the store room for `capacity` rows of values of any size (a string column's offsets
// too: only those have them).
void size_store(column_store& store, size_t capacity) {
  if (store.values.size() < capacity * 8) store.values.resize(capacity * 8);
  if (store.zero_fill.size() < capacity) store.zero_fill.resize(capacity);  // zeros
  if (store.size == 0 && store.offsets.size() < capacity + 1) store.offsets.resize(capacity + 1);
}

// Points the slots at the set's columns (again after they moved).
void point_slots(column_set& set) {
  set.slots.resize(set.layout.size());
  for (size_t index = 0; index < set.layout.size(); ++index) {
    column_store& store = set.stores[index];
    set.slots[index] = {store.values.data(), store.offset, store.size};
  }
}

// Makes room for row `row`, doubling the room of every store (up to the run's bound).
void make_room(column_set& set, int64_t row, int64_t max_rows) {
  if (row < set.capacity) return;
  set.capacity =
      std::max<int64_t>(row + 1, std::min<int64_t>(std::max<int64_t>(2 * row, 1024), max_rows));
  for (column_store& store : set.stores) size_store(store, static_cast<size_t>(set.capacity));
  point_slots(set);
}

template <typename T>
void put_value(column_store& store, int64_t row, T value) {
  std::memcpy(store.values.data() + static_cast<size_t>(row) * sizeof value, &value, sizeof value);
}

// Copies the numbers of a record of 4-byte numbers only, one after the other, into the row.
template <bool kSwap>
void append_words(column_set& set, int64_t row, const kept_record& record) {
  const size_t at = static_cast<size_t>(row) * 4;
  const uint8_t* bytes = record.data;
  for (const number_slot& slot : set.slots) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (kSwap) value = reversed(value);
    std::memcpy(slot.values + at, &value, sizeof value);
    bytes += sizeof value;
  }
}

// Copies the numbers of a record of numbers into the row, each from where it lies.
void append_each_number(column_set& set, int64_t row, const kept_record& record) {
  const bool swap = record.settings.swap_needed != 0;
  for (const number_slot& slot : set.slots) {
    const uint8_t* bytes = record.data + slot.offset;
    unsigned char* to = slot.values + static_cast<size_t>(row) * slot.size;
    if (slot.size == 4) {
      uint32_t value;
      std::memcpy(&value, bytes, sizeof value);
      if (swap) value = reversed(value);
      std::memcpy(to, &value, sizeof value);
    } else {
      uint64_t value;
      std::memcpy(&value, bytes, sizeof value);
      if (swap) value = reversed(value);
      std::memcpy(to, &value, sizeof value);
    }
  }
}

// Appends a record of numbers in fixed columns without a zero-fill marker.
void append_numbers(column_set& set, int64_t row, const kept_record& record) {
  if (!set.words_only) {
    append_each_number(set, row, record);
  } else if (record.settings.swap_needed != 0) {
    append_words<true>(set, row, record);
  } else {
    append_words<false>(set, row, record);
  }
  // A hard-wired line's fields zero-filled before staging: their staged bytes are zeros.
  for (uint32_t filled = record.staged ? record.staged_zero_fill : 0; filled != 0;
       filled &= filled - 1) {
    column_store& store = set.stores[static_cast<size_t>(__builtin_ctz(filled))];
    store.zero_fill[static_cast<size_t>(row)] = 1;
    store.filled_rows = row + 1;
  }
}

void append_fields(column_set& set, int64_t row, const kept_record& record) {
  const bool swap = record.settings.swap_needed != 0;
  visit_fields(record, [&](size_t index, const raw_field& field) {
    column_store& store = set.stores[index];
    if (field.zero_fill) {
      store.zero_fill[static_cast<size_t>(row)] = 1;
      store.filled_rows = row + 1;
    }
    const bool holds = holds_value(record, field);
    switch (field.type) {
      case value_type::int32:
        return put_value(store, row, holds ? number_from<int32_t>(field.bytes, swap) : 0);
      case value_type::int64:
        return put_value(store, row, holds ? number_from<int64_t>(field.bytes, swap) : 0);
      case value_type::real32:
        return put_value(store, row, holds ? number_from<float>(field.bytes, swap) : 0.0f);
      case value_type::real64:
        return put_value(store, row, holds ? number_from<double>(field.bytes, swap) : 0.0);
      case value_type::string:
        break;
    }
    if (holds) store.chars.append(reinterpret_cast<const char*>(field.bytes), field.size);
    store.offsets[static_cast<size_t>(row) + 1] = static_cast<uint32_t>(store.chars.size());
  });
}

// Appends the record as row `row` of the set.
void append_row(column_set& set, int64_t row, int64_t max_rows, const kept_record& record) {
  make_room(set, row, max_rows);
  if (record.only_numbers) {
    append_numbers(set, row, record);
  } else {
    append_fields(set, row, record);
  }
}

// Appends the record as the run's next row.
void append_to_run(batch_builder& b, const kept_record& record) {
  append_row(*b.run, b.batch.rows, b.max_rows, record);
  ++b.batch.rows;
}

// Sets up the columns of `set` for records of the layout.
void lay_out_columns(column_set& set, std::span<const uint8_t> layout) {
  set.layout.assign(layout.begin(), layout.end());
  if (set.stores.size() < layout.size()) {
    set.stores.resize(layout.size());
    for (column_store& store : set.stores) size_store(store, static_cast<size_t>(set.capacity));
  }
  uint32_t offset = 0;
  set.words_only = true;
  for (size_t index = 0; index < layout.size(); ++index) {
    column_store& store = set.stores[index];
    const field_format& f = decompose_field_format(layout[index]);
    store.type = value_type_of(f.type);
    store.size = static_cast<uint32_t>(f.size);
    store.offset = offset;
    offset += store.size;
    set.words_only = set.words_only && store.size == 4;
    if (store.size == 0) size_store(store, static_cast<size_t>(set.capacity));
  }
  point_slots(set);
}

// Empties the set for a run of the layout: laid out anew unless it has that layout, its
// strings and zero fill cleared.
void empty_columns(column_set& set, std::span<const uint8_t> layout) {
  if (!same_layouts(set.layout, layout)) lay_out_columns(set, layout);
  for (size_t index = 0; index < layout.size(); ++index) {
    column_store& store = set.stores[index];
    if (store.size == 0) store.chars.clear();
    // Zero fill of the rows a run before left (the rest is zeros).
    if (store.filled_rows != 0) {
      std::fill_n(store.zero_fill.begin(), store.filled_rows, uint8_t{0});
      store.filled_rows = 0;
    }
  }
}

void start_batch(batch_builder& b, int64_t rows, int64_t line_number, int64_t input_byte) {
  b.started = true;
  b.batch.rows = rows;
  b.batch.first_line = line_number;
  b.batch.first_input_byte = input_byte;
}

// Begins a run with the layout and position of its first record.
void begin_run(batch_builder& b, std::span<const uint8_t> layout, int64_t line_number,
               int64_t input_byte) {
  empty_columns(*b.run, layout);
  start_batch(b, 0, line_number, input_byte);
}

// Begins the next run, in the other set, with the record that ended the run.
void begin_next_run(batch_builder& b, const kept_record& record, int64_t line_number,
                    int64_t input_byte) {
  empty_columns(*b.next, record.layout);
  append_row(*b.next, 0, b.max_rows, record);
  b.next_begun = true;
  b.next_first_line = line_number;
  b.next_first_input_byte = input_byte;
}

// Makes the next run, begun with one row, the run. (No text line came between the two runs:
// it would have ended the run before the record did, so the heading is the same.)
void take_up_next_run(batch_builder& b) {
  std::swap(b.run, b.next);
  b.next_begun = false;
  start_batch(b, 1, b.next_first_line, b.next_first_input_byte);
}

// Points the batch at the gathered columns.
const record_batch* end_run(batch_builder& b) {
  const column_set& set = *b.run;
  b.columns.resize(set.layout.size());
  for (size_t index = 0; index < set.layout.size(); ++index) {
    const column_store& store = set.stores[index];
    b.columns[index] = {store.type, store.values.data(), store.chars.data(), store.offsets.data(),
                        store.zero_fill.data()};
  }
  b.batch.layout = set.layout;
  b.batch.columns = b.columns;
  b.batch.heading = b.heading;
  return &b.batch;
}

}  // namespace

row_taken take_row(batch_builder& b, const kept_record& record, int64_t line_number,
                   int64_t input_byte) {
  if (!b.accepting) return row_taken::not_taken;
  if (!b.started) {
    begin_run(b, record.layout, line_number, input_byte);
  } else if (b.batch.rows == b.max_rows || !same_layouts(b.run->layout, record.layout)) {
    if (b.next_begun) return row_taken::not_taken;
    begin_next_run(b, record, line_number, input_byte);
    return row_taken::into_next_run;
  }
  append_to_run(b, record);
  return row_taken::into_run;
}

const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows) {
  b.started = false;
  b.max_rows = max_rows;
  if (b.next_begun) {
    take_up_next_run(b);
    skip_item(r);  // its first record, which also waits as an item
  }
  while ((!b.started || b.batch.rows < max_rows) && !b.next_begun) {
    if (!items_queued(r)) {
      // Nothing waits: the records the converter checks next go straight into the run.
      b.accepting = true;
      const bool more = convert_for_run(r);
      b.accepting = false;
      if (!more) break;
      continue;
    }
    const run_item* item = peek_run_item(r);
    if (item->kind != item_kind::data_record) {
      if (b.started) break;
      std::string_view text = item->text;
      if (text.ends_with('\n')) text.remove_suffix(1);
      b.heading.assign(text);
      skip_item(r);
      continue;
    }
    if (!b.started) {
      begin_run(b, item->record.layout, item->line_number, item->input_byte);
    } else if (!same_layouts(b.run->layout, item->record.layout)) {
      break;
    }
    append_to_run(b, item->record);
    skip_item(r);
  }
  return b.started ? end_run(b) : nullptr;
}

}  // namespace asciify
