// Input that cannot be read and output that cannot be written, part way through a conversion:
// the run fails with status 2, one message and the failure summary, and what reached the output
// is a prefix of the full output that holds exactly the lines counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/example_input.h"
#include "tests/support/input_sources.h"

namespace asciify::test_support {
namespace {

TEST(IoFailures, ReadErrorPartWayKeepsTheLinesConvertedBeforeIt) {
  const std::string input = example_input().bytes;
  const std::string full = convert_in_memory(input).output;
  for (const size_t fail_at :
       {size_t{0}, size_t{100}, size_t{512}, size_t{700}, size_t{1024}, input.size() - 1}) {
    SCOPED_TRACE("read error after " + std::to_string(fail_at) + " bytes");
    failing_source source{input, fail_at};
    input_opening opening = open_input_reader(source.reader(), {.decode_in_thread = false});
    // The first bytes are read when the input is opened: then it cannot be opened.
    EXPECT_EQ(opening.stream == nullptr, fail_at == 0);
    if (opening.stream == nullptr) {
      EXPECT_EQ(opening.reason, std::strerror(EIO));
      continue;
    }
    memory_sink sink;
    const conversion_capture run = convert_into_sink(*opening.stream, sink);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.messages, "Failed to read input file input.\nasciify: input: " +
                                std::string(std::strerror(EIO)) + "\n" +
                                failed_summary(run.lines_written));
    EXPECT_EQ(run.info, "");
    EXPECT_TRUE(full.starts_with(sink.bytes)) << sink.bytes;
    EXPECT_EQ(std::count(sink.bytes.begin(), sink.bytes.end(), '\n'), run.lines_written);
    EXPECT_TRUE(fail_at < 1024 || run.lines_written > 20) << run.lines_written;
  }
}

// The destination fills up after every possible number of bytes, in ASCII lines, text lines,
// "$" lines and formatted lines: the failure names the first line that is not whole in the
// output, gives its reason (EIO when the destination gives none), and the output holds exactly
// the lines counted.
TEST(IoFailures, WriteErrorPartWayKeepsExactlyTheLinesWrittenBeforeIt) {
  const std::string input = example_input().bytes;
  const std::string full = convert_in_memory(input).output;
  std::vector<size_t> line_ends;
  for (size_t at = full.find('\n'); at != std::string::npos; at = full.find('\n', at + 1)) {
    line_ends.push_back(at + 1);
  }
  int formatted = 0;
  for (size_t capacity = 0; capacity < full.size(); ++capacity) {
    SCOPED_TRACE("output full after " + std::to_string(capacity) + " bytes");
    memory_sink sink;
    sink.capacity = capacity;
    // A destination that takes nothing without saying why fails with the general reason.
    sink.error = capacity % 2 == 0 ? ENOSPC : 0;
    const conversion_capture run =
        convert_into_sink(*memory_input(input), sink, {.buffer_size = 1});
    const auto whole =
        std::upper_bound(line_ends.begin(), line_ends.end(), capacity) - line_ends.begin();
    const size_t kept = whole == 0 ? 0 : line_ends[whole - 1];
    const size_t line_length = line_ends[whole] - kept;
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.lines_written, whole);
    EXPECT_EQ(sink.bytes, full.substr(0, kept));
    const std::string line = " at line " + std::to_string(whole + 1) + "\n";
    const std::string plain =
        "Failed to write " + std::to_string(line_length) + " bytes to output file" + line;
    const std::string numbers = "Failed to write output buffer to file (only " +
                                std::to_string(capacity - kept) + " of " +
                                std::to_string(line_length) + " characters output)" + line;
    const std::string rest =
        "asciify: output: " + std::string(std::strerror(sink.error != 0 ? sink.error : EIO)) +
        "\n" + failed_summary(whole);
    EXPECT_TRUE(run.messages == plain + rest || run.messages == numbers + rest) << run.messages;
    if (run.messages == numbers + rest) ++formatted;
    if (HasFailure()) break;
  }
  EXPECT_GT(formatted, 100);
}

}  // namespace
}  // namespace asciify::test_support
