#include "read/batches.h"

#include <algorithm>
#include <cstring>

namespace asciify {
namespace {

// Appends a number to the column, growing its room by doubling.
template <typename T>
void append_number(column_store& store, const kept_record& record, const raw_field& field) {
  const bool swap = record.settings.swap_needed != 0;
  const T value = holds_value(record, field) ? number_from<T>(field.bytes, swap) : T{};
  if (store.used + sizeof value > store.values.size()) {
    store.values.resize(std::max<size_t>(2 * store.values.size(), 1024));
  }
  std::memcpy(store.values.data() + store.used, &value, sizeof value);
  store.used += sizeof value;
}

void append_row(batch_builder& b, const kept_record& record) {
  visit_fields(record, [&](size_t index, const raw_field& field) {
    column_store& store = b.stores[index];
    store.zero_fill.push_back(field.zero_fill ? 1 : 0);
    switch (field.type) {
      case value_type::int32:
        return append_number<int32_t>(store, record, field);
      case value_type::int64:
        return append_number<int64_t>(store, record, field);
      case value_type::real32:
        return append_number<float>(store, record, field);
      case value_type::real64:
        return append_number<double>(store, record, field);
      case value_type::string:
        break;
    }
    if (holds_value(record, field)) {
      store.chars.append(reinterpret_cast<const char*>(field.bytes), field.size);
    }
    store.offsets.push_back(static_cast<uint32_t>(store.chars.size()));
  });
  ++b.batch.rows;
}

// Begins a run with the layout and position of `item`.
void begin_run(batch_builder& b, const run_item& item) {
  const std::span<const uint8_t> layout = item.record.layout;
  b.layout.assign(layout.begin(), layout.end());
  if (b.stores.size() < layout.size()) b.stores.resize(layout.size());
  for (size_t index = 0; index < layout.size(); ++index) {
    column_store& store = b.stores[index];
    store.type = value_type_of(decompose_field_format(layout[index]).type);
    store.used = 0;
    store.chars.clear();
    store.offsets.assign(1, 0);
    store.zero_fill.clear();
  }
  b.batch = record_batch{};
  b.batch.first_line = item.line_number;
  b.batch.first_input_byte = item.input_byte;
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

bool same_layout(const batch_builder& b, const run_item& item) {
  const std::span<const uint8_t> layout = item.record.layout;
  return std::equal(b.layout.begin(), b.layout.end(), layout.begin(), layout.end());
}

}  // namespace

const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows) {
  bool started = false;
  for (const run_item* item; (item = peek_run_item(r)) != nullptr; skip_item(r)) {
    if (item->kind != item_kind::data_record) {
      if (started) break;
      std::string_view text = item->text;
      if (text.ends_with('\n')) text.remove_suffix(1);
      b.heading.assign(text);
      continue;
    }
    if (!started) {
      begin_run(b, *item);
      started = true;
    } else if (!same_layout(b, *item)) {
      break;
    }
    append_row(b, item->record);
    if (b.batch.rows == max_rows) {
      skip_item(r);
      break;
    }
  }
  return started ? end_run(b) : nullptr;
}

}  // namespace asciify
