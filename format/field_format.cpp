#include "format/field_format.h"

namespace asciify {

namespace {

field_format take_apart(uint8_t byte) {
  if (byte & 0x80) {
    const int32_t width = byte & 0x7F;
    return {field_type::string, width, 0, byte == 0xFF, byte == 0x80 || byte == 0xDF};
  }
  static constexpr field_type kTypes[4] = {field_type::int32, field_type::float32,
                                           field_type::int64, field_type::float64};
  const field_type type = kTypes[(byte >> 5) & 3];
  const int32_t width = byte & 0x1F;
  return {type, width, numeric_size(type), width == 31, false};
}

std::array<field_format, 256> take_all_apart() {
  std::array<field_format, 256> table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = take_apart(static_cast<uint8_t>(byte));
  return table;
}

}  // namespace

const std::array<field_format, 256> kFieldFormats = take_all_apart();

int32_t numeric_size(field_type type) {
  switch (type) {
    case field_type::int32:
    case field_type::float32:
      return 4;
    case field_type::int64:
    case field_type::float64:
      return 8;
    case field_type::string:
      break;
  }
  return 0;
}

void summarize_format(format_entry& format) {
  int32_t size = 0;
  int32_t width = 0;
  for (int32_t index = 0; index < format.count; ++index) {
    const field_format& field = decompose_field_format(format.bytes[index]);
    if (field.type == field_type::string || field.free_format_mark) {
      format.plain_size = format.plain_width = -1;
      return;
    }
    size += field.size;
    width += field.width;
  }
  format.plain_size = static_cast<int16_t>(size);
  format.plain_width = static_cast<int16_t>(width);
}

}  // namespace asciify
