// Input that cannot be read and output that cannot be written, part way through a conversion:
// the run fails with status 2, one message and the failure summary, and what reached the output
// is a prefix of the full output that holds exactly the lines counted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "driver/conversion.h"
#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::testing {
namespace {

// A byte source that serves `input` up to `fail_at` bytes and then reports a read error.
struct failing_source {
  std::string input;
  size_t fail_at;
  size_t served = 0;
};

ssize_t read_failing(void* cookie, char* buffer, size_t size) {
  auto* source = static_cast<failing_source*>(cookie);
  if (source->served >= source->fail_at) return -1;
  const size_t count =
      std::min({size, source->fail_at - source->served, source->input.size() - source->served});
  std::memcpy(buffer, source->input.data() + source->served, count);
  source->served += count;
  return static_cast<ssize_t>(count);
}

// A byte sink that accepts `capacity` bytes and then reports a write error.
struct failing_sink {
  size_t capacity;
  std::string accepted;
};

ssize_t write_failing(void* cookie, const char* buffer, size_t size) {
  auto* sink = static_cast<failing_sink*>(cookie);
  const size_t count = std::min(size, sink->capacity - sink->accepted.size());
  sink->accepted.append(buffer, count);
  return count == 0 ? -1 : static_cast<ssize_t>(count);
}

struct memory_stream {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);
  std::string close() {
    std::fclose(file);
    return take();
  }
  // What was written, once someone else closed the stream.
  std::string take() {
    std::string text(data, size);
    std::free(data);
    return text;
  }
};

// Runs a whole conversion from `input` to `output` as the command line does: convert, close
// the output, print the summary.
conversion_capture convert_streams(FILE* input, FILE* output) {
  memory_stream messages, info;
  auto state = std::make_unique<conversion_state>();
  state->messages = messages.file;
  state->info = info.file;
  const conversion_result result = convert_stream(*state, input, output, "input");
  const bool written = std::ferror(output) == 0;
  const bool output_ok = std::fclose(output) == 0 && written;
  conversion_capture capture;
  capture.status = finish_run(*state, result, output_ok, "output");
  capture.lines_written = result.lines_written;
  capture.messages = messages.close();
  capture.info = info.close();
  return capture;
}

long long newlines_in(const std::string& text) {
  return static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
}

TEST(IoFailures, ReadErrorPartWayKeepsTheLinesConvertedBeforeIt) {
  const std::string input = example_input().bytes;
  const std::string full = convert_in_memory(input).output;
  for (const size_t fail_at :
       {size_t{0}, size_t{100}, size_t{512}, size_t{700}, size_t{1024}, input.size() - 1}) {
    SCOPED_TRACE("read error after " + std::to_string(fail_at) + " bytes");
    failing_source source{input, fail_at};
    FILE* in = fopencookie(&source, "rb", {read_failing, nullptr, nullptr, nullptr});
    std::setvbuf(in, nullptr, _IONBF, 0);
    memory_stream output;
    const conversion_capture run = convert_streams(in, output.file);
    std::fclose(in);
    const std::string written = output.take();  // the conversion closed the stream

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.messages,
              "Failed to read input file input.\n" + failed_summary(run.lines_written));
    EXPECT_TRUE(full.starts_with(written)) << written;
    EXPECT_EQ(newlines_in(written), run.lines_written);
    EXPECT_EQ(run.info.find("Finished"), std::string::npos);
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
    failing_sink sink{capacity, {}};
    FILE* out = fopencookie(&sink, "wb", {nullptr, write_failing, nullptr, nullptr});
    std::setvbuf(out, nullptr, _IONBF, 0);
    const conversion_capture run = convert_streams(in, out);
    std::fclose(in);

    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(full.starts_with(sink.accepted));
    // The line that failed is not counted; every line before it is in the output.
    EXPECT_EQ(run.lines_written, newlines_in(full.substr(0, capacity)));
    EXPECT_TRUE(run.messages.starts_with("Failed to write ")) << run.messages;
    EXPECT_TRUE(run.messages.ends_with(failed_summary(run.lines_written))) << run.messages;
    EXPECT_EQ(std::count(run.messages.begin(), run.messages.end(), '\n'), 2) << run.messages;
    if (run.messages.starts_with("Failed to write output buffer")) ++failed_on_a_line;
    if (HasFailure()) break;
  }
  EXPECT_GT(failed_on_a_line, 0);
}

TEST(IoFailures, WriteErrorAtTheFinalFlushIsReported) {
  const std::string input = example_input().bytes;
  FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  failing_sink sink{0, {}};
  FILE* out = fopencookie(&sink, "wb", {nullptr, write_failing, nullptr, nullptr});
  // Fully buffered: nothing reaches the sink until the stream is closed.
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
  const conversion_capture run = convert_streams(in, out);
  std::fclose(in);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.messages, "Failed to write output file output.\n" + failed_summary(41));
  EXPECT_EQ(sink.accepted, "");
}

}  // namespace
}  // namespace asciify::testing
