#include "read/field_values.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/field_format.h"
#include "text/line_writer.h"

namespace asciify {
namespace {

value_type type_of(field_type type) {
  switch (type) {
    case field_type::int32:
      return value_type::int32;
    case field_type::int64:
      return value_type::int64;
    case field_type::float32:
      return value_type::real32;
    case field_type::float64:
      return value_type::real64;
    case field_type::string:
      break;
  }
  return value_type::string;
}

template <typename T>
T read_number(const uint8_t* bytes, bool swap) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return swap ? reversed(value) : value;
}

// The value of a numeric field from its raw bytes.
void take_number(field_value& v, const uint8_t* bytes, bool swap) {
  switch (v.type) {
    case value_type::int32:
      v.integer = read_number<int32_t>(bytes, swap);
      break;
    case value_type::int64:
      v.integer = read_number<int64_t>(bytes, swap);
      break;
    case value_type::real32:
      v.real = read_number<float>(bytes, swap);
      break;
    default:
      v.real = read_number<double>(bytes, swap);
      break;
  }
}

// The characters of a string field at `data`, and the offset past the field.
int32_t take_string(const field_format& f, const uint8_t* data, int32_t offset, int32_t limit,
                    uint32_t* size) {
  const int32_t room = f.open_ended ? limit - offset : std::min(f.width, limit - offset);
  const void* zero = std::memchr(data + offset, 0, static_cast<size_t>(room));
  const int32_t length =
      zero != nullptr ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data) - offset
                      : room;
  *size = static_cast<uint32_t>(length);
  return offset + length + (length < room || f.open_ended ? 1 : 0);
}

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

void decode_fields(const item_origin& origin, const observed_line& line,
                   std::vector<decoded_field>& fields, std::string& texts) {
  const format_entry& format = *line.format;
  const bool staged = origin.origin == line_origin::hardwired;
  const bool swap = line.settings.swap_needed != 0;
  const size_t first = fields.size();
  fields.resize(first + format.count);
  int32_t offset = line.start;
  bool filling = false;
  for (int32_t index = 0; index < format.count; ++index) {
    const field_format& f = decompose_field_format(format.bytes[index]);
    decoded_field& field = fields[first + static_cast<size_t>(index)];
    field.value.type = type_of(f.type);
    field.value.zero_fill = filling || (staged && (origin.staged_zero_fill >> index & 1) != 0);
    if (filling) continue;  // zero fill consumes no data
    if (f.size != 0) {
      const uint8_t* bytes = line.data + offset;
      offset += f.size;
      filling =
          !staged && matches_zero_fill_marker(line.settings.zero_fill_marker_4,
                                              line.settings.zero_fill_marker_8, bytes, f.size);
      field.value.zero_fill = field.value.zero_fill || filling;
      if (!filling) take_number(field.value, bytes, swap);
      continue;
    }
    field.text_at = static_cast<uint32_t>(texts.size());
    const int32_t start = offset;
    offset = take_string(f, line.data, offset, line.limit, &field.text_size);
    texts.append(reinterpret_cast<const char*>(line.data + start), field.text_size);
  }
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
