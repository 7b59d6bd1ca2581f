// Thousands of seeded corruptions of the example input (bytes flipped, overwritten, inserted,
// deleted and duplicated): every run ends cleanly with one summary, and whatever the input held
// before its first corrupted byte converts exactly as it does in the intact input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

#ifdef ASCIIFY_SANITIZED
constexpr int kVariants = 4000;  // every run costs far more under the sanitizers
#else
constexpr int kVariants = 10000;
#endif

// Byte values that steer the converter: codes, markers' first bytes, terminators.
constexpr uint8_t kTellingBytes[] = {0,  1,  2,  3,    4,    10,   11,   15,   30,  33,
                                     36, 42, 50, 0x1F, 0x3F, 0x7F, 0x80, 0xDF, 0xFF};

struct corrupted_input {
  std::string bytes;
  size_t intact_prefix;  // bytes before the first corrupted one
};

// Applies one to four corruptions chosen by `seed`. Draws use the generator's raw output so
// that the variants are the same with every standard library.
corrupted_input corrupt(const std::string& input, uint32_t seed) {
  std::mt19937 random(seed);
  const auto below = [&random](size_t n) { return n == 0 ? 0 : static_cast<size_t>(random() % n); };
  corrupted_input result{input, input.size()};
  std::string& bytes = result.bytes;
  for (size_t corruptions = 1 + below(4); corruptions > 0; --corruptions) {
    const size_t at = below(bytes.size() + 1);
    size_t touched = at;
    const size_t kind = below(5);
    if (kind == 0 && at < bytes.size()) {  // flip one bit
      bytes[at] = static_cast<char>(bytes[at] ^ (1 << below(8)));
    } else if (kind == 1 && at < bytes.size()) {  // a byte that steers the converter
      bytes[at] = static_cast<char>(kTellingBytes[below(std::size(kTellingBytes))]);
    } else if (kind == 2) {  // insert random bytes
      std::string inserted(1 + below(8), '\0');
      for (char& c : inserted) c = static_cast<char>(random() & 0xFF);
      bytes.insert(at, inserted);
    } else if (kind == 3) {  // delete a run of bytes
      bytes.erase(at, 1 + below(16));
    } else if (kind == 4) {  // repeat a stretch that starts here
      const std::string stretch = bytes.substr(at, 1 + below(64));
      bytes.insert(at, stretch);
      touched = at + stretch.size();
    }
    result.intact_prefix = std::min(result.intact_prefix, touched);
  }
  result.intact_prefix = std::min(result.intact_prefix, bytes.size());
  return result;
}

TEST(Corruption, EveryVariantEndsCleanlyAndKeepsItsIntactStart) {
  const std::string input = example_input().bytes;
  // The complete lines that each prefix of the intact input converts to.
  std::vector<std::string> intact_lines(input.size() + 1);
  for (size_t length = 0; length <= input.size(); ++length) {
    const std::string output = convert_in_memory(std::string_view(input).substr(0, length)).output;
    intact_lines[length] = output.substr(0, output.size() - unterminated_tail(output).size());
  }
  int failed = 0;
  for (int variant = 0; variant < kVariants; ++variant) {
    const corrupted_input corrupted = corrupt(input, static_cast<uint32_t>(variant));
    const conversion_capture run = convert_in_memory(corrupted.bytes);
    ASSERT_EQ(ending_fault(run, corrupted.bytes), "") << "variant " << variant;
    ASSERT_TRUE(run.output.starts_with(intact_lines[corrupted.intact_prefix]))
        << "variant " << variant << ", intact up to byte " << corrupted.intact_prefix << "\n"
        << run.output;
    if (run.status != 0) ++failed;
  }
  // Most corruptions break a record; some leave a valid input behind.
  EXPECT_GT(failed, kVariants / 4);
  EXPECT_LT(failed, kVariants);
}

}  // namespace
}  // namespace asciify::testing
