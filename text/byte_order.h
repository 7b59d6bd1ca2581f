// Reversing the byte order of numbers written on a machine of the opposite byte order.
#pragma once

#include <cstdint>

namespace asciify {

// Reverses the `size` bytes (4 or 8) at `value` in place and returns 0; any other size is
// reported on standard error, leaves the value alone and returns -1.
int32_t endian_swap(void* value, int32_t size);

}  // namespace asciify
