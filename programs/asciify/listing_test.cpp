// The listing comes from the conversion itself: its counts agree with what converting the same
// input gives, on the example, on generated inputs and on the same inputs cut short.
#include "programs/asciify/listing.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <string_view>

#include "tests/support/example_input.h"
#include "tests/support/input_sources.h"
#include "tests/support/random_input.h"

namespace asciify {
namespace {

listing listing_of(const std::string& input) {
  const input_handle in = test_support::memory_input(input);
  return take_listing(*in, "in");
}

// The number in "asciify: input byte N: ..." of a conversion's messages, or -1.
long long input_byte_in(const std::string& messages) {
  const size_t at = messages.find("asciify: input byte ");
  return at == std::string::npos ? -1 : std::stoll(messages.substr(at + 20));
}

void expect_agreement(const std::string& input, const std::string& name) {
  SCOPED_TRACE(name);
  const listing taken = listing_of(input);
  const test_support::conversion_capture run = test_support::convert_in_memory(input);
  EXPECT_EQ(taken.report.lines_written, run.lines_written);
  EXPECT_EQ(taken.report.finished, run.status == 0);
  EXPECT_EQ(taken.report.failure_input_byte, input_byte_in(run.messages));
  if (run.status != 0) {
    EXPECT_NE(("\n" + run.messages).find("\n" + taken.report.failure_message + "\n"),
              std::string::npos)
        << taken.report.failure_message;
  }
  for (const section_summary& section : taken.report.sections) {
    EXPECT_TRUE(std::string_view(input).substr(section.input_byte).starts_with("*START_BINARY"));
  }
  const std::string json = listing_json(taken);
  EXPECT_NE(json.find("\"lines\": " + std::to_string(run.lines_written) + ","), std::string::npos)
      << json;
  EXPECT_EQ(json.find("\"error\": null") != std::string::npos, run.status == 0) << json;
}

TEST(Listing, AgreesWithTheConversion) {
  const std::string example = test_support::example_input().bytes;
  expect_agreement(example, "the example");
  expect_agreement(example.substr(0, 700), "the example cut inside a record");
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    const std::string input = test_support::make_random_input(seed).bytes;
    expect_agreement(input, "seed " + std::to_string(seed));
    expect_agreement(input.substr(0, input.size() * 2 / 3),
                     "seed " + std::to_string(seed) + " cut");
  }
}

TEST(Listing, CountsWhatTheExampleHolds) {
  const listing taken = listing_of(test_support::example_input().bytes);
  ASSERT_EQ(taken.report.sections.size(), 2u);
  EXPECT_FALSE(taken.report.sections[0].swapped);
  EXPECT_TRUE(taken.report.sections[1].swapped);
  EXPECT_EQ(taken.report.sections[0].suspensions, 1);
  EXPECT_EQ(taken.report.lines_written, 41);
  const record_counts& counts = taken.report.records;
  const int64_t hardwired =
      std::accumulate(std::begin(counts.hardwired), std::end(counts.hardwired), int64_t{0});
  // Every line written comes from an ASCII line or a record that writes one, and a text
  // record that begins with '*' brings a "$" line.
  const std::string output =
      "\n" + test_support::convert_in_memory(test_support::example_input().bytes).output;
  int64_t flag_lines = 0;
  for (size_t at = 0; (at = output.find("\n$\n", at)) != std::string::npos; ++at) ++flag_lines;
  EXPECT_EQ(taken.report.ascii_lines + counts.text_lines + counts.cached_data +
                counts.line_specific[0] + counts.line_specific[1] + hardwired + flag_lines,
            taken.report.lines_written);
  const std::string first_section =
      "\"sections\": [{\"input_byte\": " + std::to_string(taken.report.sections[0].input_byte) +
      ", \"byte_order\": \"native\"";
  EXPECT_NE(listing_json(taken).find(first_section), std::string::npos) << listing_json(taken);
}

// Names in the JSON are escaped: quotes, backslashes and control characters.
TEST(Listing, JsonEscapesTheInputName) {
  listing taken = listing_of("a\n");
  taken.input = "say \"x\"\\\t.dat";
  EXPECT_NE(listing_json(taken).find("{\"input\": \"say \\\"x\\\"\\\\\\u0009.dat\", "),
            std::string::npos)
      << listing_json(taken);
}

}  // namespace
}  // namespace asciify
