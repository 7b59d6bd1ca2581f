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

// Points the slots at the run's columns (again after they moved).
void point_slots(batch_builder& b) {
  b.slots.resize(b.layout.size());
  for (size_t index = 0; index < b.layout.size(); ++index) {
    column_store& store = b.stores[index];
    b.slots[index] = {store.values.data(), store.offset, store.size};
  }
}

// Makes room for one row more, doubling the room of every store.
void make_room(batch_builder& b) {
  const int64_t rows = b.batch.rows;
  if (rows < b.capacity) return;
  b.capacity =
      std::max<int64_t>(rows + 1, std::min<int64_t>(std::max<int64_t>(2 * rows, 1024), b.max_rows));
  for (column_store& store : b.stores) size_store(store, static_cast<size_t>(b.capacity));
  point_slots(b);
}

template <typename T>
void put_value(column_store& store, int64_t row, T value) {
  std::memcpy(store.values.data() + static_cast<size_t>(row) * sizeof value, &value, sizeof value);
}

// Copies the numbers of a record of 4-byte numbers only, one after the other, into the row.
template <bool kSwap>
void append_words(batch_builder& b, const kept_record& record) {
  const size_t at = static_cast<size_t>(b.batch.rows) * 4;
  const uint8_t* bytes = record.data;
  for (const number_slot& slot : b.slots) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (kSwap) value = reversed(value);
    std::memcpy(slot.values + at, &value, sizeof value);
    bytes += sizeof value;
  }
}

// Copies the numbers of a record of numbers into the row, each from where it lies.
void append_each_number(batch_builder& b, const kept_record& record) {
  const int64_t row = b.batch.rows;
  const bool swap = record.settings.swap_needed != 0;
  for (const number_slot& slot : b.slots) {
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
void append_numbers(batch_builder& b, const kept_record& record) {
  if (!b.words_only) {
    append_each_number(b, record);
  } else if (record.settings.swap_needed != 0) {
    append_words<true>(b, record);
  } else {
    append_words<false>(b, record);
  }
  const int64_t row = b.batch.rows;
  // A hard-wired line's fields zero-filled before staging: their staged bytes are zeros.
  for (uint32_t filled = record.staged ? record.staged_zero_fill : 0; filled != 0;
       filled &= filled - 1) {
    column_store& store = b.stores[static_cast<size_t>(__builtin_ctz(filled))];
    store.zero_fill[static_cast<size_t>(row)] = 1;
    store.filled_rows = row + 1;
  }
}

void append_fields(batch_builder& b, const kept_record& record) {
  const int64_t row = b.batch.rows;
  const bool swap = record.settings.swap_needed != 0;
  visit_fields(record, [&](size_t index, const raw_field& field) {
    column_store& store = b.stores[index];
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

void append_row(batch_builder& b, const kept_record& record) {
  make_room(b);
  if (record.only_numbers) {
    append_numbers(b, record);
  } else {
    append_fields(b, record);
  }
  ++b.batch.rows;
}

bool same_layout(const batch_builder& b, std::span<const uint8_t> layout) {
  return same_layouts(b.layout, layout);
}

// Begins a run with the layout and position of its first record.
void begin_run(batch_builder& b, std::span<const uint8_t> layout, int64_t line_number,
               int64_t input_byte) {
  b.started = true;
  if (!same_layout(b, layout)) {
    b.layout.assign(layout.begin(), layout.end());
    if (b.stores.size() < layout.size()) {
      b.stores.resize(layout.size());
      for (column_store& store : b.stores) size_store(store, static_cast<size_t>(b.capacity));
    }
    uint32_t offset = 0;
    b.words_only = true;
    for (size_t index = 0; index < layout.size(); ++index) {
      column_store& store = b.stores[index];
      const field_format& f = decompose_field_format(layout[index]);
      store.type = value_type_of(f.type);
      store.size = static_cast<uint32_t>(f.size);
      store.offset = offset;
      offset += store.size;
      b.words_only = b.words_only && store.size == 4;
      if (store.size == 0) size_store(store, static_cast<size_t>(b.capacity));
    }
    point_slots(b);
  }
  for (size_t index = 0; index < layout.size(); ++index) {
    column_store& store = b.stores[index];
    if (store.size == 0) store.chars.clear();
    // Zero fill of the rows a run before left (the rest is zeros).
    if (store.filled_rows != 0) {
      std::fill_n(store.zero_fill.begin(), store.filled_rows, uint8_t{0});
      store.filled_rows = 0;
    }
  }
  b.batch.rows = 0;
  b.batch.first_line = line_number;
  b.batch.first_input_byte = input_byte;
  b.batch_heading = b.heading;
}

// Points the batch at the gathered columns.
const record_batch* end_run(batch_builder& b) {
  b.columns.resize(b.layout.size());
  for (size_t index = 0; index < b.layout.size(); ++index) {
    const column_store& store = b.stores[index];
    b.columns[index] = {store.type, store.values.data(), store.chars.data(), store.offsets.data(),
                        store.zero_fill.data()};
  }
  b.batch.layout = b.layout;
  b.batch.columns = b.columns;
  b.batch.heading = b.batch_heading;
  return &b.batch;
}

}  // namespace

bool take_row(batch_builder& b, const kept_record& record, int64_t line_number,
              int64_t input_byte) {
  if (!b.accepting) return false;
  if (!b.started) {
    begin_run(b, record.layout, line_number, input_byte);
  } else if (b.batch.rows == b.max_rows || !same_layout(b, record.layout)) {
    return false;
  }
  append_row(b, record);
  return true;
}

const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows) {
  b.started = false;
  b.max_rows = max_rows;
  while (!b.started || b.batch.rows < max_rows) {
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
    } else if (!same_layout(b, item->record.layout)) {
      break;
    }
    append_row(b, item->record);
    skip_item(r);
  }
  return b.started ? end_run(b) : nullptr;
}

}  // namespace asciify
