#include "text/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace asciify {
namespace {

TEST(EndianSwap, ReversesFourBytes) {
  unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(endian_swap(bytes, 4), 0);
  const unsigned char expected[] = {0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

TEST(EndianSwap, ReversesEightBytes) {
  unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xAA};
  EXPECT_EQ(endian_swap(bytes, 8), 0);
  const unsigned char expected[] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0xAA};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

TEST(EndianSwap, RejectsOtherSizesUntouched) {
  for (int32_t size : {2, 0, -1, 3, 16}) {
    unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    testing::internal::CaptureStderr();
    EXPECT_EQ(endian_swap(bytes, size), -1);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, "Unexpected #bytes (" + std::to_string(size) + ") in <endian_swap>\n");
    const unsigned char original[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(std::memcmp(bytes, original, sizeof bytes), 0) << "size " << size;
  }
}

TEST(EndianSwap, TwiceGivesValueBack) {
  double real = -1234.5678;
  EXPECT_EQ(endian_swap(&real, 8), 0);
  EXPECT_NE(real, -1234.5678);
  EXPECT_EQ(endian_swap(&real, 8), 0);
  EXPECT_EQ(real, -1234.5678);
  int32_t integer = 0x12345678;
  endian_swap(&integer, 4);
  EXPECT_EQ(integer, 0x78563412);
  endian_swap(&integer, 4);
  EXPECT_EQ(integer, 0x12345678);
}

}  // namespace
}  // namespace asciify
