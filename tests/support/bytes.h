// Small helpers to spell binary data in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

namespace asciify::testing {

// The bytes of a value in this machine's byte order.
template <typename T>
std::string bytes_of(T value) {
  std::string raw(sizeof(T), '\0');
  std::memcpy(raw.data(), &value, sizeof(T));
  return raw;
}

inline std::string bytes(std::initializer_list<uint8_t> values) {
  return std::string(values.begin(), values.end());
}

}  // namespace asciify::testing
