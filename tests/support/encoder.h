// Builds converter inputs byte by byte: ASCII lines, marker lines, binary-section headers and
// every kind of binary record, with numbers in this machine's byte order or the reverse one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace asciify::testing {

enum class order { native, reversed };

// The header line that follows *START_BINARY, with its end-of-line byte.
std::string header_line(order numbers, int major = 1, int minor = 0);

struct encoder {
  std::string bytes;
  order numbers = order::native;  // byte order of the numbers appended

  // ASCII mode.
  encoder& line(std::string_view text);  // the text and an end-of-line byte
  encoder& raw(std::string_view text);   // bytes exactly as given
  encoder& start_binary(order section_order = order::native, int major = 1, int minor = 0);
  encoder& resume_binary();

  // Binary mode: records.
  encoder& suspend_binary();  // text-line record carrying the marker
  encoder& end_binary();
  encoder& text_record(std::string_view text);
  encoder& reset(uint8_t code);
  encoder& define(uint8_t code, std::initializer_list<uint8_t> field_formats);
  encoder& lsf4(std::initializer_list<uint8_t> nibbles);  // code, packed nibbles, zero code
  encoder& lsf8(std::initializer_list<uint8_t> field_formats);
  encoder& fsf4(uint8_t code, std::initializer_list<uint8_t> nibbles);
  encoder& fsf8(uint8_t code, std::initializer_list<uint8_t> field_formats);

  // Field data and single bytes.
  encoder& byte(uint8_t value);
  encoder& i32(int32_t value);
  encoder& i64(int64_t value);
  encoder& f32(float value);
  encoder& f64(double value);
  encoder& marker4();  // the 4-byte zero-fill marker
  encoder& marker8();
  encoder& str(std::string_view text);    // characters and a zero byte
  encoder& chars(std::string_view text);  // characters only
};

// Packs nibble codes two to a byte, high half first, and ends them with a zero code.
std::string pack_nibbles(std::initializer_list<uint8_t> nibbles);

}  // namespace asciify::testing
