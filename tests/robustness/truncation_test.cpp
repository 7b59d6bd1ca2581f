// The example input cut at every byte offset: each cut finishes normally or fails with a clear
// message, and its output is a prefix of the full output: nothing invented, nothing rewritten.
// Only a last line that the cut left unterminated in ASCII mode may differ: it is copied as it
// stands.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

const std::string kSwapped =
    "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n";

TEST(Truncation, FullExampleConvertsCleanly) {
  const std::string input = example_input().bytes;
  const conversion_capture full = convert_in_memory(input);
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(full.messages, "");
  EXPECT_EQ(full.info, kSwapped + finished_summary(41));
  EXPECT_EQ(std::count(full.output.begin(), full.output.end(), '\n'), 41);
}

TEST(Truncation, EveryCutGivesAPrefixOfTheFullOutput) {
  const std::string input = example_input().bytes;
  const conversion_capture full = convert_in_memory(input);
  ASSERT_EQ(full.status, 0);
  // The example holds no newline byte inside a record, so every line is one newline.
  const auto full_lines = std::count(full.output.begin(), full.output.end(), '\n');
  ASSERT_EQ(full.lines_written, full_lines);

  int finished_cuts = 0;
  int failed_cuts = 0;
  int cuts_in_a_line = 0;
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    const std::string_view part(input.data(), cut);
    const conversion_capture run = convert_in_memory(part);
    const std::string label = "cut at " + std::to_string(cut);
    expect_clean_ending(run, part, label);

    const std::string_view output = run.output;
    const std::string_view tail = unterminated_tail(output);
    const std::string_view lines = output.substr(0, output.size() - tail.size());
    EXPECT_TRUE(std::string_view(full.output).starts_with(lines)) << label << "\n" << output;
    if (!tail.empty()) {
      // Only a finished run keeps an unterminated last line, and it is the end of the cut.
      EXPECT_EQ(run.status, 0) << label;
      EXPECT_TRUE(part.ends_with(tail)) << label;
      ++cuts_in_a_line;
    }
    const auto newlines = std::count(output.begin(), output.end(), '\n');
    EXPECT_EQ(run.lines_written, newlines + (tail.empty() ? 0 : 1)) << label;

    if (run.status == 0) {
      ++finished_cuts;
    } else {
      ++failed_cuts;
      // One message, then the summary.
      EXPECT_EQ(std::count(run.messages.begin(), run.messages.end(), '\n'), 2) << label << "\n"
                                                                               << run.messages;
    }
    if (cut == input.size()) {
      EXPECT_EQ(output, full.output);
    }
  }
  // Cuts inside ASCII lines finish, cuts inside records fail: both must have happened.
  EXPECT_GT(finished_cuts, 100);
  EXPECT_GT(failed_cuts, 500);
  EXPECT_GT(cuts_in_a_line, 100);
}

}  // namespace
}  // namespace asciify::testing
