#include "tests/support/encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace asciify::testing {
namespace {

template <typename T>
void append_number(std::string& bytes, T value, order numbers) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  if (numbers == order::reversed) std::reverse(raw, raw + sizeof(T));
  bytes.append(raw, sizeof(T));
}

}  // namespace

std::string header_line(order numbers, int major, int minor) {
  unsigned char probes[8];
  const int32_t one = 1;
  const float real_one = 1.0f;
  std::memcpy(probes, &one, 4);
  std::memcpy(probes + 4, &real_one, 4);
  if (numbers == order::reversed) {
    std::reverse(probes, probes + 4);
    std::reverse(probes + 4, probes + 8);
  }
  char text[80];
  std::snprintf(text, sizeof text, "%10d%10d  %02x%02x%02x%02x  %02x%02x%02x%02x\n", major, minor,
                probes[0], probes[1], probes[2], probes[3], probes[4], probes[5], probes[6],
                probes[7]);
  return text;
}

std::string pack_nibbles(std::initializer_list<uint8_t> nibbles) {
  std::vector<uint8_t> codes(nibbles);
  codes.push_back(0);
  if (codes.size() % 2) codes.push_back(0);
  std::string packed;
  for (size_t i = 0; i < codes.size(); i += 2) {
    packed.push_back(static_cast<char>((codes[i] << 4) | codes[i + 1]));
  }
  return packed;
}

encoder& encoder::line(std::string_view text) {
  bytes.append(text);
  bytes.push_back('\n');
  return *this;
}

encoder& encoder::raw(std::string_view text) {
  bytes.append(text);
  return *this;
}

encoder& encoder::start_binary(order section_order, int major, int minor) {
  numbers = section_order;
  bytes.append("*START_BINARY\n");
  bytes.append(header_line(section_order, major, minor));
  return *this;
}

encoder& encoder::resume_binary() {
  return line("*RESUME_BINARY");
}
encoder& encoder::suspend_binary() {
  return text_record("*SUSPEND_BINARY");
}
encoder& encoder::end_binary() {
  return text_record("*END_BINARY");
}

encoder& encoder::text_record(std::string_view text) {
  bytes.push_back(3);
  return str(text);
}

encoder& encoder::reset(uint8_t code) {
  bytes.push_back(4);
  return byte(code);
}

encoder& encoder::define(uint8_t code, std::initializer_list<uint8_t> field_formats) {
  bytes.push_back(static_cast<char>(code));
  for (uint8_t field : field_formats) bytes.push_back(static_cast<char>(field));
  return byte(0);
}

encoder& encoder::lsf4(std::initializer_list<uint8_t> nibbles) {
  bytes.push_back(1);
  return raw(pack_nibbles(nibbles));
}

encoder& encoder::lsf8(std::initializer_list<uint8_t> field_formats) {
  return define(2, field_formats);
}

encoder& encoder::fsf4(uint8_t code, std::initializer_list<uint8_t> nibbles) {
  byte(code).byte(1);
  return raw(pack_nibbles(nibbles));
}

encoder& encoder::fsf8(uint8_t code, std::initializer_list<uint8_t> field_formats) {
  byte(code).byte(2);
  for (uint8_t field : field_formats) byte(field);
  return byte(0);
}

encoder& encoder::byte(uint8_t value) {
  bytes.push_back(static_cast<char>(value));
  return *this;
}

encoder& encoder::i32(int32_t value) {
  append_number(bytes, value, numbers);
  return *this;
}
encoder& encoder::i64(int64_t value) {
  append_number(bytes, value, numbers);
  return *this;
}
encoder& encoder::f32(float value) {
  append_number(bytes, value, numbers);
  return *this;
}
encoder& encoder::f64(double value) {
  append_number(bytes, value, numbers);
  return *this;
}
encoder& encoder::marker4() {
  return i32(INT32_MIN);
}
encoder& encoder::marker8() {
  return i64(INT64_MIN);
}

encoder& encoder::str(std::string_view text) {
  bytes.append(text);
  return byte(0);
}

encoder& encoder::chars(std::string_view text) {
  return raw(text);
}

}  // namespace asciify::testing
