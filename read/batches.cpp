#include "read/batches.h"

#include <algorithm>
#include <cstring>

namespace asciify {
namespace {

template <typename T>
void append_value(std::vector<unsigned char>& values, T value) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
  values.insert(values.end(), bytes, bytes + sizeof value);
}

void append_row(batch_builder& b, const line_item& item) {
  for (size_t index = 0; index < item.fields.size(); ++index) {
    const field_value& v = item.fields[index];
    column_store& store = b.stores[index];
    store.zero_fill.push_back(v.zero_fill ? 1 : 0);
    switch (v.type) {
      case value_type::int32:
        append_value(store.values, static_cast<int32_t>(v.integer));
        break;
      case value_type::int64:
        append_value(store.values, v.integer);
        break;
      case value_type::real32:
        append_value(store.values, static_cast<float>(v.real));
        break;
      case value_type::real64:
        append_value(store.values, v.real);
        break;
      case value_type::string:
        store.chars.append(v.text);
        store.offsets.push_back(static_cast<uint32_t>(store.chars.size()));
        break;
    }
  }
  ++b.batch.rows;
}

// Begins a run with the layout and position of `item`.
void begin_run(batch_builder& b, const line_item& item) {
  b.layout.assign(item.layout.begin(), item.layout.end());
  b.stores.resize(item.fields.size());
  for (size_t index = 0; index < item.fields.size(); ++index) {
    column_store& store = b.stores[index];
    store.type = item.fields[index].type;
    store.values.clear();
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
  b.columns.resize(b.stores.size());
  for (size_t index = 0; index < b.stores.size(); ++index) {
    const column_store& store = b.stores[index];
    b.columns[index] = {store.type, store.values.data(), store.chars.data(), store.offsets.data(),
                        store.zero_fill.data()};
  }
  b.batch.layout = b.layout;
  b.batch.columns = b.columns;
  b.batch.heading = b.batch_heading;
  return &b.batch;
}

bool same_layout(const batch_builder& b, const line_item& item) {
  return std::equal(b.layout.begin(), b.layout.end(), item.layout.begin(), item.layout.end());
}

}  // namespace

const record_batch* next_run(batch_builder& b, reader& r, int64_t max_rows) {
  bool started = false;
  for (const line_item* item; (item = peek_item(r)) != nullptr; skip_item(r)) {
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
    append_row(b, *item);
    if (b.batch.rows == max_rows) {
      skip_item(r);
      break;
    }
  }
  return started ? end_run(b) : nullptr;
}

}  // namespace asciify
