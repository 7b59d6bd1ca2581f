// Input that cannot be read and output that cannot be written, part way through a conversion:
// the run fails with status 2, one message and the failure summary, and what reached the output
// is a prefix of the full output that holds exactly the lines counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

// A byte source that serves `input` up to `fail_at` bytes and then reports a read error, and a
// byte sink that accepts `capacity` bytes and then reports a write error.
struct failing_stream {
  std::string bytes;
  size_t limit;
  size_t served = 0;
};

ssize_t read_failing(void* cookie, char* buffer, size_t size) {
  auto* source = static_cast<failing_stream*>(cookie);
  if (source->served >= source->limit) return -1;
  const size_t count =
      std::min({size, source->limit - source->served, source->bytes.size() - source->served});
  std::memcpy(buffer, source->bytes.data() + source->served, count);
  source->served += count;
  return static_cast<ssize_t>(count);
}

ssize_t write_failing(void* cookie, const char* buffer, size_t size) {
  auto* sink = static_cast<failing_stream*>(cookie);
  const size_t count = std::min(size, sink->limit - sink->bytes.size());
  sink->bytes.append(buffer, count);
  return count == 0 ? -1 : static_cast<ssize_t>(count);
}

// Unbuffered, so that every line meets the sink as it is written.
FILE* failing_sink(failing_stream* sink) {
  FILE* out = fopencookie(sink, "wb", {nullptr, write_failing, nullptr, nullptr});
  std::setvbuf(out, nullptr, _IONBF, 0);
  return out;
}

long long newlines_in(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

TEST(IoFailures, ReadErrorPartWayKeepsTheLinesConvertedBeforeIt) {
  const std::string input = example_input().bytes;
  const std::string full = convert_in_memory(input).output;
  for (const size_t fail_at :
       {size_t{0}, size_t{100}, size_t{512}, size_t{700}, size_t{1024}, input.size() - 1}) {
    SCOPED_TRACE("read error after " + std::to_string(fail_at) + " bytes");
    failing_stream source{input, fail_at};
    FILE* in = fopencookie(&source, "rb", {read_failing, nullptr, nullptr, nullptr});
    std::setvbuf(in, nullptr, _IONBF, 0);
    failing_stream sink{"", full.size()};
    const conversion_capture run = convert_streams(in, failing_sink(&sink));
    std::fclose(in);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.messages,
              "Failed to read input file input.\n" + failed_summary(run.lines_written));
    EXPECT_EQ(run.info, "");
    EXPECT_TRUE(full.starts_with(sink.bytes)) << sink.bytes;
    EXPECT_EQ(newlines_in(sink.bytes), run.lines_written);
    if (fail_at >= 1024) {
      EXPECT_GT(run.lines_written, 20);
    }
  }
}

TEST(IoFailures, WriteErrorPartWayKeepsTheLinesWrittenBeforeIt) {
  const std::string input = example_input().bytes;
  const std::string full = convert_in_memory(input).output;
  int failed_on_a_line = 0;
  // Every capacity up to the whole output: the write fails in ASCII lines, text lines, "$"
  // lines and formatted lines.
  for (size_t capacity = 0; capacity < full.size(); ++capacity) {
    SCOPED_TRACE("output full after " + std::to_string(capacity) + " bytes");
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
    failing_stream sink{"", capacity};
    const conversion_capture run = convert_streams(in, failing_sink(&sink));
    std::fclose(in);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(full.starts_with(sink.bytes));
    // The line that failed is not counted; every line before it is in the output.
    EXPECT_EQ(run.lines_written, newlines_in(full.substr(0, capacity)));
    EXPECT_TRUE(run.messages.starts_with("Failed to write ")) << run.messages;
    EXPECT_TRUE(run.messages.ends_with(failed_summary(run.lines_written))) << run.messages;
    EXPECT_EQ(newlines_in(run.messages), 2) << run.messages;
    if (run.messages.starts_with("Failed to write output buffer")) ++failed_on_a_line;
    if (HasFailure()) break;
  }
  EXPECT_GT(failed_on_a_line, 0);
}

}  // namespace
}  // namespace asciify::testing
