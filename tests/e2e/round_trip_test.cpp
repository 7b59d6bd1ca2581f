// Valid random inputs with every kind of record: the conversion must finish, write the expected
// number of lines, and show every numbered line intact where it belongs: a record that consumed
// one byte too many or too few would shift or garble what follows.
#include <gtest/gtest.h>

#include "tests/support/convert_in_memory.h"
#include "tests/support/random_input.h"

namespace asciify::test_support {
namespace {

TEST(RoundTrip, EveryRecordIsConsumedExactly) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const random_input input = make_random_input(seed);
    const conversion_capture result = convert_in_memory(input.bytes);
    ASSERT_EQ(result.status, 0) << "seed " << seed << ": " << result.messages;
    ASSERT_EQ(result.lines_written, input.lines) << "seed " << seed;
    std::vector<std::string> lines(1);
    for (const char c : result.output) {
      if (c == '\n') lines.emplace_back();
      if (c != '\n') lines.back().push_back(c);
    }
    ASSERT_EQ(static_cast<int64_t>(lines.size()), input.lines + 1) << "seed " << seed;
    ASSERT_EQ(lines.back(), "") << "seed " << seed;
    for (size_t i = 0; i < input.numbered_lines.size(); ++i) {
      ASSERT_EQ(lines[input.numbered_lines[i]], "#" + std::to_string(i)) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace asciify::test_support
