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

#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

// Under the sanitizers every run costs far more; fewer variants keep the test quick.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kVariants = 4000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kVariants = 4000;
#else
constexpr int kVariants = 10000;
#endif
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
  const size_t corruptions = 1 + below(4);
  for (size_t i = 0; i < corruptions; ++i) {
    const size_t at = below(bytes.size() + 1);
    size_t touched = at;
    switch (below(5)) {
      case 0:  // flip one bit
        if (at < bytes.size()) bytes[at] = static_cast<char>(bytes[at] ^ (1 << below(8)));
        break;
      case 1:  // overwrite a byte with one that steers the converter
        if (at < bytes.size()) {
          bytes[at] = static_cast<char>(kTellingBytes[below(std::size(kTellingBytes))]);
        }
        break;
      case 2: {  // insert random bytes
        std::string inserted(1 + below(8), '\0');
        for (char& c : inserted) c = static_cast<char>(random() & 0xFF);
        bytes.insert(at, inserted);
        break;
      }
      case 3:  // delete a run of bytes
        bytes.erase(at, 1 + below(16));
        break;
      default: {  // repeat a stretch that starts here
        const std::string stretch = bytes.substr(at, 1 + below(64));
        bytes.insert(at, stretch);
        touched = at + stretch.size();
        break;
      }
    }
    result.intact_prefix = std::min(result.intact_prefix, touched);
  }
  result.intact_prefix = std::min(result.intact_prefix, bytes.size());
  return result;
}

// The complete lines that the first `length` bytes of `input` convert to.
std::vector<std::string> complete_lines_of_prefixes(const std::string& input) {
  std::vector<std::string> lines(input.size() + 1);
  for (size_t length = 0; length <= input.size(); ++length) {
    const std::string output = convert_in_memory(std::string_view(input.data(), length)).output;
    lines[length] = output.substr(0, output.size() - unterminated_tail(output).size());
  }
  return lines;
}

TEST(Corruption, EveryVariantEndsCleanlyAndKeepsItsIntactStart) {
  const std::string input = example_input().bytes;
  const std::vector<std::string> intact_lines = complete_lines_of_prefixes(input);
  int failed = 0;
  for (int variant = 0; variant < kVariants; ++variant) {
    const corrupted_input corrupted = corrupt(input, static_cast<uint32_t>(variant));
    const conversion_capture run = convert_in_memory(corrupted.bytes);
    const std::string label = "variant " + std::to_string(variant);
    expect_clean_ending(run, corrupted.bytes, label);
    EXPECT_TRUE(run.output.starts_with(intact_lines[corrupted.intact_prefix]))
        << label << ", intact up to byte " << corrupted.intact_prefix << "\n"
        << run.output;
    if (run.status != 0) ++failed;
    if (HasFailure()) break;  // one broken variant is enough to read
  }
  // Most corruptions break a record; some leave a valid input behind.
  EXPECT_GT(failed, kVariants / 4);
  EXPECT_LT(failed, kVariants);
}

TEST(Corruption, VariantsAreReproducible) {
  const std::string input = example_input().bytes;
  for (uint32_t seed : {0u, 7u, 4242u}) {
    const corrupted_input first = corrupt(input, seed);
    const corrupted_input again = corrupt(input, seed);
    EXPECT_EQ(first.bytes, again.bytes);
    EXPECT_EQ(first.intact_prefix, again.intact_prefix);
    EXPECT_NE(first.bytes, input);
    EXPECT_EQ(std::string_view(first.bytes).substr(0, first.intact_prefix),
              std::string_view(input).substr(0, first.intact_prefix));
  }
}

}  // namespace
}  // namespace asciify::testing
