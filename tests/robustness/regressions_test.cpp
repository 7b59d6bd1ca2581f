// Inputs that once made a conversion invent, lose or garble output, each reduced to the few
// records that show it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

struct regression {
  std::string name;
  std::string input;
  std::string output;
  std::string messages;
  int status;
};

std::ostream& operator<<(std::ostream& stream, const regression& r) {
  return stream << r.name;
}

std::vector<regression> regressions() {
  return {
      // A marker record cut off before its zero byte and its full text is a text record
      // without a terminator: it fails before its "$" line is written.
      {"cut-off marker record leaves no dollar line",
       encoder{}.line("a").start_binary().text_record("b").byte(3).raw("*SUSP").bytes, "a\nb\n",
       "Failed to find zero-termination of string starting * at line 3\n" + failed_summary(2), 2},
      {"star text record whose terminator is present still gets its dollar line",
       encoder{}.start_binary().text_record("*NOTE").bytes, "$\n*NOTE\n", "", 0},
  };
}

class Regressions : public ::testing::TestWithParam<regression> {};

TEST_P(Regressions, ConvertExactly) {
  const regression& r = GetParam();
  const conversion_capture run = convert_in_memory(r.input);
  EXPECT_EQ(run.output, r.output);
  EXPECT_EQ(run.messages, r.messages);
  EXPECT_EQ(run.status, r.status);
  expect_clean_ending(run, r.input, r.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, Regressions, ::testing::ValuesIn(regressions()));

}  // namespace
}  // namespace asciify::testing
