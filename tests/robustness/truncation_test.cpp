// The example input cut at every byte offset: each cut finishes normally or fails with one
// message, and its output is a prefix of the full output: nothing invented, nothing rewritten.
// Only a last line that the cut left unterminated in ASCII mode may differ: it is copied as it
// stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

TEST(Truncation, EveryCutGivesAPrefixOfTheFullOutput) {
  const std::string input = example_input().bytes;
  const conversion_capture full = convert_in_memory(input);
  ASSERT_EQ(full.status, 0);
  ASSERT_EQ(full.messages, "");
  // The example holds no newline byte inside a record, so every line is one newline.
  ASSERT_EQ(std::count(full.output.begin(), full.output.end(), '\n'), 41);
  ASSERT_EQ(full.info, "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n" +
                           finished_summary(41));

  int finished_cuts = 0, failed_cuts = 0, cuts_in_a_line = 0;
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    const std::string_view part(input.data(), cut);
    const conversion_capture run = convert_in_memory(part);
    SCOPED_TRACE("cut at " + std::to_string(cut));
    EXPECT_EQ(ending_fault(run, part), "");
    const std::string_view output = run.output;
    const std::string_view tail = unterminated_tail(output);
    EXPECT_TRUE(
        std::string_view(full.output).starts_with(output.substr(0, output.size() - tail.size())))
        << output;
    if (!tail.empty()) {
      // Only a finished run keeps an unterminated last line, and it is the end of the cut.
      EXPECT_EQ(run.status, 0);
      ++cuts_in_a_line;
    }
    const auto newlines = std::count(output.begin(), output.end(), '\n');
    EXPECT_EQ(run.lines_written, newlines + (tail.empty() ? 0 : 1));
    // A failure: one message, then the summary.
    if (run.status != 0) {
      EXPECT_EQ(std::count(run.messages.begin(), run.messages.end(), '\n'), 2) << run.messages;
    }
    run.status == 0 ? ++finished_cuts : ++failed_cuts;
    if (cut == input.size()) {
      EXPECT_EQ(output, full.output);
    }
    if (HasFailure()) break;
  }
  // Cuts inside ASCII lines finish, cuts inside records fail: both must have happened.
  EXPECT_GT(finished_cuts, 100);
  EXPECT_GT(failed_cuts, 500);
  EXPECT_GT(cuts_in_a_line, 100);
}

}  // namespace
}  // namespace asciify::testing
