// The C interface over the reader: a handle holding the C++ reader, the current item and run,
// and the texts it lends out.
#include <string>

#include "asciify/asciify.h"
#include "asciify/reader.h"
#include "platform/failure_reason.h"

struct asciify_reader {
  asciify::reader_ptr reader;
  std::string open_failure;  // why the input could not be opened
  // Why a step of the reader threw (no memory left): the reading ended there.
  std::string thrown;
  const asciify::line_item* item = nullptr;
  const asciify::record_batch* batch = nullptr;
  std::string rendered;
};

namespace {

using asciify::value_type;

// Opens a reader with `open` and keeps it, or why it could not be opened (also when opening
// threw: no exception may reach a C caller). Returns 0 or < 0.
template <typename Open>
int keep(asciify_reader** handle, Open open) {
  if (handle == nullptr) return -1;
  auto* h = new (std::nothrow) asciify_reader;
  *handle = h;
  if (h == nullptr) return -1;
  asciify::reader_opening opening;
  try {
    opening = open();
  } catch (...) {
    opening.reason = asciify::platform::reason_of_current_exception();
  }
  h->reader = std::move(opening.reader);
  if (h->reader != nullptr) return 0;
  h->open_failure = std::move(opening.reason);
  return opening.system_error > 0 ? -opening.system_error : -1;
}

const asciify::field_value* field_at(const asciify_reader* h, int field) {
  if (h == nullptr || h->item == nullptr || field < 0 ||
      static_cast<size_t>(field) >= h->item->fields.size()) {
    return nullptr;
  }
  return &h->item->fields[static_cast<size_t>(field)];
}

const asciify::batch_column* column_at(const asciify_reader* h, int field) {
  if (h == nullptr || h->batch == nullptr || field < 0 ||
      static_cast<size_t>(field) >= h->batch->columns.size()) {
    return nullptr;
  }
  return &h->batch->columns[static_cast<size_t>(field)];
}

int type_code(value_type type) {
  return static_cast<int>(type) + ASCIIFY_INT32;
}

// Lends a text through the caller's two pointers, which must be there.
int lend(std::string_view text, const char** out, size_t* size) {
  if (out == nullptr || size == nullptr) return -1;
  *out = text.data();
  *size = text.size();
  return 0;
}

bool is_integer(value_type type) {
  return type == value_type::int32 || type == value_type::int64;
}

bool is_real(value_type type) {
  return type == value_type::real32 || type == value_type::real64;
}

// Runs a step of the handle's reader. No exception may reach a C caller: one that a step
// throws ends the reading, with its reason as the error, and the step gives `failed`.
template <typename Result, typename Step>
Result guarded(asciify_reader* h, Result failed, Step step) {
  if (!h->thrown.empty()) return failed;
  try {
    return step();
  } catch (...) {
    h->thrown = asciify::platform::reason_of_current_exception();
  }
  h->item = nullptr;
  h->batch = nullptr;
  return failed;
}

}  // namespace

extern "C" {

int asciify_open_file(asciify_reader** reader, const char* path) {
  return keep(reader, [&] { return asciify::open_reader_file(path != nullptr ? path : ""); });
}

int asciify_open_memory(asciify_reader** reader, const void* data, size_t size) {
  return keep(reader, [&] { return asciify::open_reader_memory(data, size); });
}

int asciify_open_callback(asciify_reader** reader,
                          size_t (*read)(void* context, void* buffer, size_t capacity, int* error),
                          void* context) {
  return keep(reader, [&] { return asciify::open_reader_callback(read, context); });
}

int asciify_next(asciify_reader* h) {
  if (h == nullptr || h->reader == nullptr) return -1;
  h->batch = nullptr;
  return guarded(h, -1, [h] {
    h->item = asciify::next_item(*h->reader);
    if (h->item != nullptr) return static_cast<int>(h->item->kind);
    return asciify::reader_error(*h->reader) != nullptr ? -1 : 0;
  });
}

int asciify_line(const asciify_reader* h, const char** text, size_t* size) {
  if (h == nullptr || h->item == nullptr) return -1;
  return lend(h->item->text, text, size);
}

int64_t asciify_line_number(const asciify_reader* h) {
  return h != nullptr && h->item != nullptr ? h->item->line_number : -1;
}

int64_t asciify_input_byte(const asciify_reader* h) {
  return h != nullptr && h->item != nullptr ? h->item->input_byte : -1;
}

int asciify_format_code(const asciify_reader* h) {
  return h != nullptr && h->item != nullptr ? h->item->format_code : -1;
}

int asciify_field_count(const asciify_reader* h) {
  return h != nullptr && h->item != nullptr ? static_cast<int>(h->item->fields.size()) : 0;
}

int asciify_field_type(const asciify_reader* h, int field) {
  const asciify::field_value* v = field_at(h, field);
  return v != nullptr ? type_code(v->type) : -1;
}

int asciify_field_is_zero_fill(const asciify_reader* h, int field) {
  const asciify::field_value* v = field_at(h, field);
  return v != nullptr ? (v->zero_fill ? 1 : 0) : -1;
}

int asciify_field_int(const asciify_reader* h, int field, int64_t* value) {
  const asciify::field_value* v = field_at(h, field);
  if (v == nullptr || !is_integer(v->type) || value == nullptr) return -1;
  *value = v->integer;
  return 0;
}

int asciify_field_real(const asciify_reader* h, int field, double* value) {
  const asciify::field_value* v = field_at(h, field);
  if (v == nullptr || !is_real(v->type) || value == nullptr) return -1;
  *value = v->real;
  return 0;
}

int asciify_field_string(const asciify_reader* h, int field, const char** text, size_t* size) {
  const asciify::field_value* v = field_at(h, field);
  if (v == nullptr || v->type != value_type::string) return -1;
  return lend(v->text, text, size);
}

int asciify_layout(const asciify_reader* h, const uint8_t** bytes) {
  if (h == nullptr || h->item == nullptr || h->item->kind != asciify::item_kind::data_record ||
      bytes == nullptr) {
    return -1;
  }
  *bytes = h->item->layout.data();
  return static_cast<int>(h->item->layout.size());
}

int asciify_render_record(asciify_reader* h, const char** text, size_t* size) {
  if (h == nullptr || h->item == nullptr) return -1;
  return guarded(h, -1, [&] {
    h->rendered = asciify::render_values(*h->item);
    return lend(h->rendered, text, size);
  });
}

int64_t asciify_next_batch(asciify_reader* h, int64_t max_rows) {
  if (h == nullptr || h->reader == nullptr) return -1;
  h->item = nullptr;
  return guarded(h, int64_t{-1}, [h, max_rows] {
    h->batch = asciify::next_batch(*h->reader, max_rows);
    if (h->batch != nullptr) return h->batch->rows;
    return int64_t{asciify::reader_error(*h->reader) != nullptr ? -1 : 0};
  });
}

int asciify_batch_layout(const asciify_reader* h, const uint8_t** bytes) {
  if (h == nullptr || h->batch == nullptr || bytes == nullptr) return -1;
  *bytes = h->batch->layout.data();
  return static_cast<int>(h->batch->layout.size());
}

int64_t asciify_batch_line_number(const asciify_reader* h) {
  return h != nullptr && h->batch != nullptr ? h->batch->first_line : -1;
}

int64_t asciify_batch_input_byte(const asciify_reader* h) {
  return h != nullptr && h->batch != nullptr ? h->batch->first_input_byte : -1;
}

int asciify_batch_heading(const asciify_reader* h, const char** text, size_t* size) {
  if (h == nullptr || h->batch == nullptr) return -1;
  return lend(h->batch->heading, text, size);
}

int asciify_batch_field_type(const asciify_reader* h, int field) {
  const asciify::batch_column* c = column_at(h, field);
  return c != nullptr ? type_code(c->type) : -1;
}

const void* asciify_batch_values(const asciify_reader* h, int field) {
  const asciify::batch_column* c = column_at(h, field);
  return c != nullptr && c->type != value_type::string ? c->values : nullptr;
}

int asciify_batch_strings(const asciify_reader* h, int field, const char** chars,
                          const uint32_t** offsets) {
  const asciify::batch_column* c = column_at(h, field);
  if (c == nullptr || c->type != value_type::string || chars == nullptr || offsets == nullptr) {
    return -1;
  }
  *chars = c->chars;
  *offsets = c->offsets;
  return 0;
}

const uint8_t* asciify_batch_zero_fill(const asciify_reader* h, int field) {
  const asciify::batch_column* c = column_at(h, field);
  return c != nullptr ? c->zero_fill : nullptr;
}

const char* asciify_error_message(const asciify_reader* h) {
  if (h == nullptr) return "out of memory";
  if (h->reader == nullptr) return h->open_failure.c_str();
  if (!h->thrown.empty()) return h->thrown.c_str();
  const asciify::read_error* error = asciify::reader_error(*h->reader);
  return error != nullptr ? error->message.c_str() : "";
}

int64_t asciify_error_input_byte(const asciify_reader* h) {
  if (h == nullptr || h->reader == nullptr || !h->thrown.empty()) return -1;
  const asciify::read_error* error = asciify::reader_error(*h->reader);
  return error != nullptr ? error->input_byte : -1;
}

int64_t asciify_error_line(const asciify_reader* h) {
  if (h == nullptr || h->reader == nullptr || !h->thrown.empty()) return 0;
  const asciify::read_error* error = asciify::reader_error(*h->reader);
  return error != nullptr ? error->line : 0;
}

void asciify_close(asciify_reader* h) {
  delete h;
}

unsigned asciify_version_number(void) {
  return ASCIIFY_VERSION_NUMBER;
}

}  // extern "C"
