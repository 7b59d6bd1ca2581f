// The values of a data record's fields, read from the data its line was checked against exactly
// as the line writer reads them, and written back by the line writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "asciify/reader.h"
#include "format/byte_order.h"
#include "format/field_format.h"
#include "output/output.h"

namespace asciify {

// A data record as the reader keeps it: the data its line is written from (a copy of what the
// line writer read), its layout and how to read the data.
struct kept_record {
  std::span<const uint8_t> layout;
  const uint8_t* data = nullptr;
  int32_t size = 0;
  line_settings settings{};
  bool staged = false;            // a hard-wired line: its zero fill was done before staging
  uint32_t staged_zero_fill = 0;  // then bit p set when field p was zero-filled
  // Numbers in fixed columns without a zero-fill marker (as the converter found): each field
  // lies at a fixed offset.
  bool only_numbers = false;
};

// One field as it lies in a kept record: a number's 4 or 8 bytes in the record's byte order, a
// string's characters; nothing for a zero-filled field.
struct raw_field {
  value_type type;
  bool zero_fill;
  const uint8_t* bytes;
  uint32_t size;
};

// A switch, not a local table: a table in a function is built on the stack at every call and
// read back at once, which stalls the loops that call this for every field.
constexpr value_type value_type_of(field_type type) {
  switch (type) {
    case field_type::int32:
      return value_type::int32;
    case field_type::float32:
      return value_type::real32;
    case field_type::int64:
      return value_type::int64;
    case field_type::float64:
      return value_type::real64;
    case field_type::string:
      break;
  }
  return value_type::string;
}

// Whether the field's bytes are its value: not for a zero-filled field (whose value is zero or
// empty), save in a hard-wired line, whose filled fields were staged as zeros.
inline bool holds_value(const kept_record& record, const raw_field& field) {
  return field.bytes != nullptr && (!field.zero_fill || record.staged);
}

// The characters of a string field at `data + offset`: their count, and the offset past it.
struct string_span {
  uint32_t size;
  int32_t next;
};
string_span string_at(const field_format& f, const uint8_t* data, int32_t offset, int32_t limit);

// Calls `visit(index, raw_field)` for each field of the record, in order. A field at or after a
// zero-fill marker is zero-filled (in a hard-wired line, those marked in `staged_zero_fill`).
template <typename Visit>
void visit_fields(const kept_record& record, Visit&& visit) {
  int32_t offset = 0;
  const size_t count = record.layout.size();
  for (size_t index = 0; index < count; ++index) {
    const field_format& f = decompose_field_format(record.layout[index]);
    const bool staged_fill = record.staged && (record.staged_zero_fill >> index & 1) != 0;
    raw_field field{value_type_of(f.type), staged_fill, record.data + offset, 0};
    if (f.size != 0) {
      field.size = static_cast<uint32_t>(f.size);
      offset += f.size;
      if (!record.staged &&
          matches_zero_fill_marker(record.settings.zero_fill_marker_4,
                                   record.settings.zero_fill_marker_8, field.bytes, f.size)) {
        // The marker ends the data: it and every field after it are zero-filled.
        field.zero_fill = true;
        visit(index, field);
        for (++index; index < count; ++index) {
          const field_format& rest = decompose_field_format(record.layout[index]);
          visit(index, raw_field{value_type_of(rest.type), true, nullptr, 0});
        }
        return;
      }
    } else {
      const string_span s = string_at(f, record.data, offset, record.size);
      field.size = s.size;
      offset = s.next;
    }
    visit(index, field);
  }
}

namespace detail {

template <typename T>
T load(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Whether the first and last sizeof(T) of the `size` bytes at `a` and `b` are the same.
template <typename T>
bool same_ends(const uint8_t* a, const uint8_t* b, size_t size) {
  return load<T>(a) == load<T>(b) && load<T>(a + size - sizeof(T)) == load<T>(b + size - sizeof(T));
}

}  // namespace detail

// Whether two layouts are the same. Those of 4 to 16 bytes (most of them) are compared as their
// two ends: a library call, which memcmp or std::equal becomes, costs more than the compare.
inline bool same_layouts(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const size_t size = a.size();
  if (size != b.size()) return false;
  if (size >= 4 && size <= 16) {
    return size < 8 ? detail::same_ends<uint32_t>(a.data(), b.data(), size)
                    : detail::same_ends<uint64_t>(a.data(), b.data(), size);
  }
  // An empty layout may have no storage at all, which memcmp must not be given.
  return size == 0 || std::memcmp(a.data(), b.data(), size) == 0;
}

// A number's bytes, in a record stored in the reverse byte order when `swap`, as this
// machine's value.
template <typename T>
T number_from(const uint8_t* bytes, bool swap) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return swap ? reversed(value) : value;
}

// The layout of the record of numbers whose values `fields` last received, when none of its
// fields was zero-filled: a next record of that layout only changes the values.
struct numbers_layout {
  std::vector<uint8_t> bytes;
  bool valid = false;
};

// The fields of the record as values; strings view the record's data.
void values_of(const kept_record& record, std::vector<field_value>& fields, numbers_layout& last);

// Writes the line the record makes into `text` (room for kLineBufferSize characters), as the
// line writer wrote it. Returns its length.
int32_t render_record(const kept_record& record, char* text);

// Writes the line the record's fields make when the line writer writes them (in the byte order
// the record was stored in, with its zero-fill marker where its zero fill began) into `text`,
// which has room for kLineBufferSize characters; `data` is working room. Returns its length,
// 0 when the fields make no line.
int32_t render_fields(const line_item& item, std::string& data, char* text);

}  // namespace asciify
