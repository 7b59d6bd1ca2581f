#include "text/byte_order.h"

#include <cstdio>
#include <utility>

namespace asciify {

int32_t endian_swap(void* value, int32_t size) {
  if (size != 4 && size != 8) {
    std::fprintf(stderr, "Unexpected #bytes (%d) in <endian_swap>\n", size);
    return -1;
  }
  auto* bytes = static_cast<unsigned char*>(value);
  for (int32_t low = 0, high = size - 1; low < high; ++low, --high) {
    std::swap(bytes[low], bytes[high]);
  }
  return 0;
}

}  // namespace asciify
