#include "text/digit_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/random_source.h"

namespace asciify::digit_text {
namespace {

// The characters of a word, from its lowest byte up, whatever this machine's byte order.
std::string text_of_word(uint64_t word) {
  std::string text;
  for (int byte = 0; byte < 8; ++byte) text.push_back(static_cast<char>(word >> (8 * byte)));
  return text;
}

std::string printed(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08u", v);
  return text;
}

// Every power of ten and its neighbours, the lane edges, and a spread of random values.
TEST(DigitText, EightDigitsAreThePrintedDigits) {
  std::vector<uint32_t> values = {0, 9999, 10000, 10001, 12345678, 87654321, 99999999};
  for (uint32_t p = 1; p <= 10000000; p *= 10) {
    values.insert(values.end(), {p - 1, p, p + 1, 99 * p, 100 * p - 1});
  }
  test_support::random_source random{7};
  for (int i = 0; i < 200000; ++i) values.push_back(static_cast<uint32_t>(random.below(100000000)));
  for (const uint32_t v : values) {
    if (v >= 100000000) continue;
    ASSERT_EQ(text_of_word(eight_digits(v)), printed(v)) << v;
  }
}

}  // namespace
}  // namespace asciify::digit_text
