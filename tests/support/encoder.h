// Builds converter inputs byte by byte: ASCII lines, marker lines, binary-section headers and
// every kind of binary record, with numbers in this machine's byte order or the reverse one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace asciify::test_support {

enum class order { native, reversed };

// The header line that follows *START_BINARY, with its end-of-line byte.
std::string header_line(order numbers, int major = 1, int minor = 0);

// Packs nibble codes two to a byte, high half first, and ends them with a zero code.
std::string pack_nibbles(const std::vector<uint8_t>& nibbles);

struct encoder {
  using codes = std::vector<uint8_t>;  // nibble codes or field format bytes
  std::string bytes;
  order numbers = order::native;  // byte order of the numbers appended
  // Where the marker line of the binary section still open begins; -1 in ASCII mode. Markers
  // are recognised where they are appended: lines that open a section, records that close it.
  int64_t open_section_at = -1;
  size_t ascii_since = 0;  // where the last closing marker's text ended

  // ASCII mode.
  encoder& raw(std::string_view text);  // bytes as given
  encoder& line(std::string_view text) { return raw(text).byte('\n'); }
  encoder& start_binary(order section_order = order::native, int major = 1, int minor = 0);
  encoder& resume_binary() { return line("*RESUME_BINARY"); }

  // Binary mode: records.
  encoder& suspend_binary() { return text_record("*SUSPEND_BINARY"); }
  encoder& end_binary() { return text_record("*END_BINARY"); }
  encoder& text_record(std::string_view text) { return byte(3).str(text); }
  encoder& reset(uint8_t code) { return byte(4).byte(code); }
  encoder& define(uint8_t code, const std::vector<uint8_t>& field_formats);
  encoder& lsf4(const std::vector<uint8_t>& nibbles) { return byte(1).raw(pack_nibbles(nibbles)); }
  encoder& lsf8(const std::vector<uint8_t>& field_formats) { return define(2, field_formats); }
  encoder& fsf4(uint8_t code, const codes& nibbles) { return byte(code).lsf4(nibbles); }
  encoder& fsf8(uint8_t code, const codes& field_formats) { return byte(code).lsf8(field_formats); }

  // Field data and single bytes.
  encoder& byte(uint8_t value) { return bytes.push_back(static_cast<char>(value)), *this; }
  encoder& i32(int32_t value) { return number(value); }
  encoder& i32s(const std::vector<int32_t>& values);
  encoder& i64(int64_t value) { return number(value); }
  encoder& f32(float value) { return number(value); }
  encoder& f64(double value) { return number(value); }
  encoder& marker4() { return i32(INT32_MIN); }  // the 4-byte zero-fill marker
  encoder& marker8() { return i64(INT64_MIN); }
  encoder& str(std::string_view text) { return raw(text).byte(0); }  // characters, zero byte
  encoder& chars(std::string_view text) { return raw(text); }        // characters only

  template <typename T>
  encoder& number(T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (numbers == order::reversed) std::reverse(raw, raw + sizeof(T));
    return bytes.append(raw, sizeof(T)), *this;
  }
};

// Input given as text or built by an encoder, for tables of cases.
struct bytes_in {
  std::string bytes;
  int64_t open_section_at = -1;  // as the encoder left it
  bytes_in(const char* text) : bytes(text) {}
  bytes_in(std::string text) : bytes(std::move(text)) {}
  bytes_in(const encoder& built) : bytes(built.bytes), open_section_at(built.open_section_at) {}
};

// The warning of a run whose input ended inside the binary section entered at `offset`.
std::string cut_short_warning(int64_t offset);

}  // namespace asciify::test_support
