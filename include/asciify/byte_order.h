// The byte order of the numbers in a binary section.
#pragma once

#include <bit>

namespace asciify {

enum class byte_order { little, big };

constexpr byte_order native_byte_order() {
  return std::endian::native == std::endian::big ? byte_order::big : byte_order::little;
}

}  // namespace asciify
