// The line queue renders and writes on a second thread; a conversion through it must give
// exactly what writing each line at once gives: output, messages, line count and status, also
// when the input breaks off or the output fails part way.
#include "output/line_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/input_sources.h"
#include "tests/support/random_input.h"

namespace asciify::test_support {
namespace {

// Many random inputs one after the other: tens of thousands of lines of every kind of record,
// enough for many batches.
const std::string& long_input() {
  static const std::string input = [] {
    std::string bytes;
    for (uint32_t seed = 1; seed <= 400; ++seed) bytes += make_random_input(seed).bytes;
    return bytes;
  }();
  return input;
}

// Lines that take far longer to render than to read (thirty 8-byte reals each, a record that
// fits the input window's lookahead): the queue is full most of the time and the reading
// thread renders batches as well. Every other line is one that the reading thread renders
// itself (an open-ended string in free format).
const std::string& slow_lines_input() {
  static const std::string input = [] {
    encoder e;
    e.line("slow lines").start_binary().define(60, std::vector<uint8_t>(30, 0x78));
    uint64_t bits = 0x9E3779B97F4A7C15ull;
    for (int line = 0; line < 6000; ++line) {
      if (line % 2 == 0)
        e.lsf8({0x80, 0x1F, 0x7F}).str("NAME" + std::to_string(line)).i32(line).f64(line / 7.0);
      e.byte(60);
      for (int field = 0; field < 30; ++field) {
        bits = bits * 6364136223846793005ull + 1442695040888963407ull;
        e.f64(static_cast<double>(static_cast<int64_t>(bits >> 20)) / 1e6);
      }
    }
    return e.end_binary().line("end").bytes;
  }();
  return input;
}

// Converts `input` with its lines written at once and through the queue; both runs must be
// the same. Returns the run with lines written at once. The input fails with EIO after
// `fail_read_at` bytes.
conversion_capture same_run_queued(const std::string& input, const std::string& name,
                                   memory_sink sink = {}, run_options options = {},
                                   size_t fail_read_at = SIZE_MAX) {
  const auto run = [&](memory_sink& target, const run_options& settings) {
    failing_source source{input, fail_read_at};
    const input_opening opening = open_input_reader(source.reader(), {.decode_in_thread = false});
    return convert_into_sink(*opening.stream, target, settings);
  };
  memory_sink second = sink;
  const conversion_capture at_once = run(sink, options);
  options.use_line_queue = true;
  const conversion_capture queued = run(second, options);
  EXPECT_EQ(queued.status, at_once.status) << name;
  EXPECT_EQ(queued.lines_written, at_once.lines_written) << name;
  EXPECT_EQ(queued.messages, at_once.messages) << name;
  EXPECT_EQ(queued.info, at_once.info) << name;
  EXPECT_TRUE(queued.output == at_once.output) << name << ": the outputs differ";
  return at_once;
}

TEST(LineQueue, GivesWhatWritingAtOnceGives) {
  const std::string& whole = long_input();
  ASSERT_GT(convert_in_memory(whole).lines_written, 20 * 1024);
  std::vector<std::pair<std::string, std::string>> variants = {
      {"the example", example_input().bytes},
      {"many random inputs", whole},
      {"cut at the end of the first batches", whole.substr(0, 40000)},
      {"cut late", whole.substr(0, whole.size() * 9 / 10)},
      {"lines slow to render", slow_lines_input()},
      {"lines slow to render, cut late", slow_lines_input().substr(0, 1400000)},
      {"lines slow to render, then many random inputs", slow_lines_input() + whole},
  };
  // Damage late in the input: errors and '*' warnings after many lines are queued.
  for (const size_t at : {whole.size() / 2, whole.size() * 3 / 4, whole.size() - 5000}) {
    for (const char byte : {'\x05', '\x1F', '\x2A', '\xFF'}) {
      std::string damaged = whole;
      std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(at), 3, byte);
      variants.emplace_back("damaged at " + std::to_string(at) + " with byte " +
                                std::to_string(static_cast<unsigned char>(byte)),
                            damaged);
    }
  }
  int failures = 0;
  for (const auto& [name, input] : variants) {
    if (same_run_queued(input, name).status != 0) ++failures;
  }
  EXPECT_GT(failures, 4);  // the damage has to end some runs with an error
}

// The destination fills up part way: the run ends at the same line with the same messages
// whether lines are queued or written at once, whatever the buffer and however much each
// write takes; a regular file holds exactly the lines counted, a pipe what it took.
TEST(LineQueue, FailedWriteEndsTheRunAtTheSameLine) {
  // Formatted lines of 64 bytes (seven integers in 9 columns).
  encoder even_lines;
  even_lines.start_binary().define(71, std::vector<uint8_t>(7, 0x09));
  for (int32_t line = 0; line < 5000; ++line) {
    even_lines.byte(71).i32s({line, 1, -2, 30, 400, -5000, 60000});
  }
  const std::string even = even_lines.end_binary().bytes, mixed = slow_lines_input() + long_input();
  // Lines longer than the input window, written in parts: a part is no line of its own.
  std::string lines_of_parts;
  for (int line = 0; line < 8; ++line)
    lines_of_parts += "x\n" + std::string(4000 + line, 'y') + "\n";
  const std::string& long_lines = lines_of_parts;
  const struct {
    std::string name;
    size_t buffer_size, step;
    bool regular, line_buffered;
  } kinds[] = {{"file", 1 << 18, SIZE_MAX, true, false},
               {"small buffer, writes of 1000 bytes", 1, 1000, true, false},
               {"pipe", 1 << 16, 4096, false, false},
               {"terminal", 1 << 16, SIZE_MAX, false, true}};
  for (const std::string* input : {&mixed, &even, &long_lines}) {
    const std::string full = convert_in_memory(*input).output;
    for (const auto& kind : kinds) {
      for (const size_t capacity : {size_t{0}, size_t{4096}, size_t{5000}, full.size() / 3,
                                    full.size() / 2 + 77, full.size() - 1}) {
        const std::string name = kind.name + " full after " + std::to_string(capacity) +
                                 " bytes of " + std::to_string(full.size());
        memory_sink sink;
        sink.capacity = capacity;
        sink.step = kind.step;
        sink.regular = kind.regular;
        const conversion_capture run =
            same_run_queued(*input, name, sink,
                            {.buffer_size = kind.buffer_size, .line_buffered = kind.line_buffered});
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_TRUE(full.starts_with(run.output)) << name;
        if (input != &even) continue;
        const size_t whole_lines = capacity / 64;
        EXPECT_EQ(run.lines_written, static_cast<int64_t>(whole_lines)) << name;
        EXPECT_EQ(run.output.size(), kind.regular ? whole_lines * 64 : capacity) << name;
        EXPECT_TRUE(run.messages.starts_with(
            "Failed to write output buffer to file (only " + std::to_string(capacity % 64) +
            " of 64 characters output) at line " + std::to_string(whole_lines + 1) +
            "\nasciify: output: No space left on device\n"))
            << name << ": " << run.messages;
      }
    }
  }
}

// One side of the queue stalls, and may then fail: the reading thread waits for its input
// between pieces, or the destination takes long over each write. The waiting threads sleep
// through the stalls, and the run ends as writing at once ends it, also when the queue shuts
// down with nothing or a single line in it. (Also run under ThreadSanitizer.)
TEST(LineQueue, WaitsOutAStalledSideAndItsFailure) {
  const std::string& input = slow_lines_input();
  const size_t output_size = convert_in_memory(input).output.size();
  const struct {
    std::string name, input;
    int32_t input_pause_us, output_pause_us;
    size_t fail_read_at, output_capacity;
  } cases[] = {
      {"the input stalls", input, 300, 0, SIZE_MAX, SIZE_MAX},
      {"the output stalls", input, 0, 300, SIZE_MAX, SIZE_MAX},
      {"the input stalls, then fails", input, 300, 0, input.size() / 2, SIZE_MAX},
      {"the output stalls, then fills up", input, 0, 300, SIZE_MAX, output_size / 2},
      {"the output fills up while the input stalls", input, 300, 0, SIZE_MAX, output_size / 3},
      {"both stall, then the input fails", input, 100, 100, input.size() * 3 / 4, SIZE_MAX},
      {"nothing to write", "", 300, 300, SIZE_MAX, SIZE_MAX},
      {"a single line", "one line\n", 300, 300, SIZE_MAX, SIZE_MAX},
      {"a single line that fails to be written", "one line\n", 0, 300, SIZE_MAX, 4},
  };
  for (const auto& c : cases) {
    memory_sink sink;
    sink.step = 4096;
    sink.pause_us = c.output_pause_us;
    sink.capacity = c.output_capacity;
    const conversion_capture run = same_run_queued(
        c.input, c.name, sink, {.buffer_size = 8192, .pause_us = c.input_pause_us}, c.fail_read_at);
    const bool fails = c.fail_read_at != SIZE_MAX || c.output_capacity != SIZE_MAX;
    EXPECT_EQ(run.status, fails ? 2 : 0) << c.name;
    EXPECT_EQ(run.messages.find("Failed to "), fails ? 0 : std::string::npos) << c.name;
  }
}

}  // namespace
}  // namespace asciify::test_support
