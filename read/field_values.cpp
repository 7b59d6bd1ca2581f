#include "read/field_values.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/field_format.h"
#include "text/line_writer.h"

namespace asciify {
namespace {

template <typename T>
void put_number(std::string& data, T value, bool swap) {
  if (swap) value = reversed(value);
  data.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Appends a field's bytes as a record stores them in the byte order `swap` tells.
void put_field(std::string& data, uint8_t format, const field_value& v, bool swap) {
  const field_format& f = decompose_field_format(format);
  switch (v.type) {
    case value_type::int32:
      return put_number(data, static_cast<int32_t>(v.integer), swap);
    case value_type::int64:
      return put_number(data, v.integer, swap);
    case value_type::real32:
      return put_number(data, static_cast<float>(v.real), swap);
    case value_type::real64:
      return put_number(data, v.real, swap);
    case value_type::string:
      break;
  }
  data.append(v.text);
  if (f.open_ended || static_cast<int32_t>(v.text.size()) < f.width) data.push_back('\0');
}

}  // namespace

string_span string_at(const field_format& f, const uint8_t* data, int32_t offset, int32_t limit) {
  const int32_t room = f.open_ended ? limit - offset : std::min(f.width, limit - offset);
  const void* zero = std::memchr(data + offset, 0, static_cast<size_t>(room));
  const int32_t length =
      zero != nullptr ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data) - offset
                      : room;
  return {static_cast<uint32_t>(length), offset + length + (length < room || f.open_ended ? 1 : 0)};
}

namespace {

// Sets the value of a numeric field of type `v.type` from its bytes; its bytes' count.
[[gnu::always_inline]] inline int32_t set_number(field_value& v, const uint8_t* bytes, bool swap) {
  switch (v.type) {
    case value_type::int32:
      v.integer = number_from<int32_t>(bytes, swap);
      return 4;
    case value_type::int64:
      v.integer = number_from<int64_t>(bytes, swap);
      return 8;
    case value_type::real32:
      v.real = number_from<float>(bytes, swap);
      return 4;
    case value_type::real64:
      v.real = number_from<double>(bytes, swap);
      return 8;
    case value_type::string:
      break;
  }
  return 0;
}

// values_of for a record of numbers in fixed columns without a zero-fill marker: each field
// lies where the one before ends, and holds its value (a hard-wired line's zero-filled fields
// were staged as zeros).
void values_of_numbers(const kept_record& record, std::vector<field_value>& fields,
                       numbers_layout& last) {
  const bool swap = record.settings.swap_needed != 0;
  const uint8_t* bytes = record.data;
  const uint32_t filled = record.staged ? record.staged_zero_fill : 0;
  if (filled == 0 && last.valid && same_layouts(last.bytes, record.layout)) {
    // The types, zero fills and empty texts stand from the record before.
    for (field_value& v : fields) bytes += set_number(v, bytes, swap);
    return;
  }
  last.bytes.assign(record.layout.begin(), record.layout.end());
  last.valid = filled == 0;
  for (size_t index = 0; index < record.layout.size(); ++index) {
    field_value& v = fields[index];
    v.type = value_type_of(decompose_field_format(record.layout[index]).type);
    v.zero_fill = index < 32 && (filled >> index & 1) != 0;
    v.integer = 0;
    v.real = 0;
    v.text = {};
    bytes += set_number(v, bytes, swap);
  }
}

}  // namespace

void values_of(const kept_record& record, std::vector<field_value>& fields, numbers_layout& last) {
  fields.resize(record.layout.size());
  if (record.only_numbers) return values_of_numbers(record, fields, last);
  last.valid = false;
  const bool swap = record.settings.swap_needed != 0;
  visit_fields(record, [&](size_t index, const raw_field& raw) {
    field_value& v = fields[index];
    v.type = raw.type;
    v.zero_fill = raw.zero_fill;
    v.integer = 0;
    v.real = 0;
    v.text = {};
    if (!holds_value(record, raw)) return;
    if (raw.type == value_type::string) {
      v.text = std::string_view(reinterpret_cast<const char*>(raw.bytes), raw.size);
    } else {
      set_number(v, raw.bytes, swap);
    }
  });
}

int32_t render_record(const kept_record& record, char* text) {
  format_entry format;
  format.count = static_cast<uint8_t>(record.layout.size());
  format.bytes = record.layout.data();
  rendered_text rendered;
  const layout_result result =
      render_formatted_line(record.settings, format, record.data, 0, record.size, text, &rendered);
  return result == layout_result::complete ? rendered.length : 0;
}

int32_t render_fields(const line_item& item, std::string& data, char* text) {
  const bool staged = item.source == record_source::hardwired;
  data.clear();
  for (size_t index = 0; index < item.fields.size(); ++index) {
    const field_value& v = item.fields[index];
    if (v.zero_fill && !staged) {
      // The marker where the zero fill began; the fields after it have no data.
      if (v.type == value_type::int32 || v.type == value_type::real32) {
        put_number(data, static_cast<int32_t>(kZeroFillMarker4), item.swapped);
      } else if (v.type != value_type::string) {
        put_number(data, static_cast<int64_t>(kZeroFillMarker8), item.swapped);
      }
      break;
    }
    put_field(data, item.layout[index], v, item.swapped);
  }
  const line_settings settings =
      item.swapped ? line_settings{reversed(kZeroFillMarker4), reversed(kZeroFillMarker8), 1}
                   : line_settings{kZeroFillMarker4, kZeroFillMarker8, 0};
  format_entry format;
  format.count = static_cast<uint8_t>(item.layout.size());
  format.bytes = item.layout.data();
  rendered_text rendered;
  const layout_result result =
      render_formatted_line(settings, format, reinterpret_cast<const uint8_t*>(data.data()), 0,
                            static_cast<int32_t>(data.size()), text, &rendered);
  return result == layout_result::complete ? rendered.length : 0;
}

}  // namespace asciify
