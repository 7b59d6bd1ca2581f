#include "text/byte_order.h"

#include <gtest/gtest.h>

#include <string>

namespace asciify {
namespace {

// Sizes 4 and 8 reverse exactly their bytes; any other size is refused with a message and
// leaves the bytes alone.
TEST(EndianSwap, ReversesFourOrEightBytes) {
  for (const int32_t size : {4, 8, 2, 0, -1, 3, 16}) {
    std::string bytes = "12345678ab";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(endian_swap(bytes.data(), size), size == 4 || size == 8 ? 0 : -1);
    const std::string message = ::testing::internal::GetCapturedStderr();
    const std::string expected = size == 4 ? "43215678ab" : size == 8 ? "87654321ab" : "12345678ab";
    EXPECT_EQ(bytes, expected) << size;
    EXPECT_EQ(message, expected == "12345678ab"
                           ? "Unexpected #bytes (" + std::to_string(size) + ") in <endian_swap>\n"
                           : "");
  }
}

}  // namespace
}  // namespace asciify
