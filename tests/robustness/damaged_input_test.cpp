// The example input damaged: cut at every byte offset, and in thousands of seeded corruptions
// (bytes flipped, overwritten, inserted, deleted and duplicated). Every run ends cleanly with
// one summary, and converts what the input holds before the damage exactly as the intact input
// does: nothing invented, nothing rewritten. Only a last line that a cut left unterminated in
// ASCII mode may differ (it is copied as it stands), and the "$" line of a text record beginning
// with '*' that the cut left without its end (it is written before the end is looked for).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::test_support {
namespace {

// The example input and its conversions cut at every byte offset, the last one whole.
struct cut_runs {
  std::string input = example_input().bytes;
  std::vector<conversion_capture> runs;
  // The lines of the output of the first `cut` bytes that the whole output begins with.
  std::string_view lines(size_t cut) const { return lines_before_the_end(runs[cut]); }
};

const cut_runs& example_cuts() {
  static const cut_runs cuts = [] {
    cut_runs made;
    for (size_t cut = 0; cut <= made.input.size(); ++cut) {
      made.runs.push_back(convert_in_memory(std::string_view(made.input).substr(0, cut)));
    }
    return made;
  }();
  return cuts;
}

TEST(Truncation, EveryCutGivesAPrefixOfTheFullOutput) {
  const cut_runs& cuts = example_cuts();
  const conversion_capture& full = cuts.runs.back();
  ASSERT_EQ(full.status, 0);
  ASSERT_EQ(full.messages, "");
  // The example holds no newline byte inside a record, so every line is one newline.
  ASSERT_EQ(std::count(full.output.begin(), full.output.end(), '\n'), 41);
  ASSERT_EQ(full.info, kSwappedNote + finished_summary(41));

  int finished_cuts = 0, failed_cuts = 0, cuts_in_a_line = 0, cuts_in_a_section = 0;
  for (size_t cut = 0; cut < cuts.runs.size(); ++cut) {
    const conversion_capture& run = cuts.runs[cut];
    SCOPED_TRACE("cut at " + std::to_string(cut));
    EXPECT_EQ(ending_fault(run, std::string_view(cuts.input).substr(0, cut)), "");
    EXPECT_TRUE(std::string_view(full.output).starts_with(cuts.lines(cut))) << run.output;
    const bool in_a_line = !unterminated_tail(run.output).empty();
    // Only a finished run keeps an unterminated last line (ending_fault: the end of the cut).
    if (in_a_line) {
      EXPECT_EQ(run.status, 0);
      ++cuts_in_a_line;
    }
    const auto newlines = std::count(run.output.begin(), run.output.end(), '\n');
    EXPECT_EQ(run.lines_written, newlines + (in_a_line ? 1 : 0));
    // A failure: one message, where in the input, then the summary.
    if (run.status != 0) {
      EXPECT_EQ(std::count(run.messages.begin(), run.messages.end(), '\n'), 3) << run.messages;
      EXPECT_NE(run.messages.find("\nasciify: input byte "), std::string::npos) << run.messages;
    }
    // A finished run that ended in binary mode warns about the section it was in.
    if (run.status == 0 && !run.messages.empty()) {
      const size_t offset = run.messages.find_first_of("0123456789");
      const size_t entered = std::stoul(run.messages.substr(offset));
      const std::string_view marker = std::string_view(cuts.input).substr(entered);
      EXPECT_EQ(run.messages, cut_short_warning(static_cast<int64_t>(entered)));
      EXPECT_TRUE(entered < cut &&
                  (marker.starts_with("*START_BINARY\n") || marker.starts_with("*RESUME_BINARY")));
      ++cuts_in_a_section;
    }
    run.status == 0 ? ++finished_cuts : ++failed_cuts;
    if (HasFailure()) break;
  }
  EXPECT_GT(cuts_in_a_section, 30);
  // Cuts inside ASCII lines finish, cuts inside records fail: both must have happened.
  EXPECT_GT(finished_cuts, 100);
  EXPECT_GT(failed_cuts, 500);
  EXPECT_GT(cuts_in_a_line, 100);
}

#if defined(ASCIIFY_SANITIZED)
constexpr int kVariants = 4000;  // every run costs far more under the sanitizers
#elif defined(ASCIIFY_EMULATED)
constexpr int kVariants = 2000;  // and under an emulator
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
    const size_t at = below(bytes.size() + 1), kind = below(5);
    size_t touched = at;
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
  const cut_runs& cuts = example_cuts();
  int failed = 0;
  for (int variant = 0; variant < kVariants; ++variant) {
    const corrupted_input corrupted = corrupt(cuts.input, static_cast<uint32_t>(variant));
    const conversion_capture run = convert_in_memory(corrupted.bytes);
    ASSERT_EQ(ending_fault(run, corrupted.bytes), "") << "variant " << variant;
    ASSERT_TRUE(run.output.starts_with(cuts.lines(corrupted.intact_prefix)))
        << "variant " << variant << ", intact up to byte " << corrupted.intact_prefix << "\n"
        << run.output;
    if (run.status != 0) ++failed;
  }
  // Most corruptions break a record; some leave a valid input behind.
  EXPECT_GT(failed, kVariants / 4);
  EXPECT_LT(failed, kVariants);
}

}  // namespace
}  // namespace asciify::test_support
