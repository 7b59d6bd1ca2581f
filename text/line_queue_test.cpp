// The line queue renders and writes on a second thread; a conversion through it must give
// exactly what writing each line at once gives: output, messages, line count and status, also
// when the input breaks off or the output fails part way.
#include "text/line_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

namespace asciify::testing {
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
std::string slow_lines_input() {
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
}

void expect_same_run(const conversion_capture& queued, const conversion_capture& at_once,
                     const std::string& name) {
  EXPECT_EQ(queued.status, at_once.status) << name;
  EXPECT_EQ(queued.lines_written, at_once.lines_written) << name;
  EXPECT_EQ(queued.messages, at_once.messages) << name;
  EXPECT_EQ(queued.info, at_once.info) << name;
  EXPECT_TRUE(queued.output == at_once.output) << name << ": the outputs differ";
}

TEST(LineQueue, GivesWhatWritingAtOnceGives) {
  const std::string& whole = long_input();
  ASSERT_GT(convert_in_memory(whole).lines_written, 20 * 1024);
  struct variant {
    std::string name, input;
  };
  std::vector<variant> variants = {
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
      variants.push_back({"damaged at " + std::to_string(at) + " with byte " +
                              std::to_string(static_cast<unsigned char>(byte)),
                          damaged});
    }
  }
  int failures = 0;
  for (const variant& v : variants) {
    const conversion_capture at_once = convert_in_memory(v.input);
    const conversion_capture queued = convert_in_memory(v.input, {.use_line_queue = true});
    expect_same_run(queued, at_once, v.name);
    if (at_once.status != 0) ++failures;
  }
  EXPECT_GT(failures, 4);  // the damage has to end some runs with an error
}

// A sink that takes `capacity` bytes and fails every write after them.
struct limited_sink {
  std::string bytes;
  size_t capacity;
};

ssize_t write_limited(void* cookie, const char* buffer, size_t size) {
  auto* sink = static_cast<limited_sink*>(cookie);
  const size_t count = std::min(size, sink->capacity - sink->bytes.size());
  sink->bytes.append(buffer, count);
  return count == 0 ? -1 : static_cast<ssize_t>(count);
}

struct sink_run {
  conversion_capture capture;
  std::string written;
};

// How the sink's stream buffers: unbuffered, the stream's own buffer, or a buffer of `size`.
struct sink_buffering {
  std::string name;
  int mode = _IOFBF;
  size_t size = 0;  // 0: the stream's own
};

sink_run convert_into_limited_sink(const std::string& input, size_t capacity, bool queued,
                                   const sink_buffering& buffering) {
  FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  limited_sink sink{"", capacity};
  FILE* out = fopencookie(&sink, "wb", {nullptr, write_limited, nullptr, nullptr});
  std::vector<char> buffer(buffering.size);
  if (buffering.mode == _IONBF) std::setvbuf(out, nullptr, _IONBF, 0);
  if (buffering.size > 0) std::setvbuf(out, buffer.data(), buffering.mode, buffer.size());
  sink_run run;
  run.capture = convert_streams(in, out, {.use_line_queue = queued});
  std::fclose(in);
  run.written = sink.bytes;
  return run;
}

// Formatted lines of 64 bytes (seven integers in 9 columns): with a buffer of 4096 bytes,
// the 64th line fills it exactly and the 65th passes it on.
std::string lines_of_64_bytes(int count) {
  encoder e;
  e.start_binary().define(71, std::vector<uint8_t>(7, 0x09));
  for (int32_t line = 0; line < count; ++line) {
    e.byte(71).i32s({line, 1, -2, 30, 400, -5000, 60000});
  }
  return e.end_binary().bytes;
}

TEST(LineQueue, FailedWriteEndsTheRunAtTheSameLine) {
  const std::string mixed = slow_lines_input() + long_input();
  const std::string even = lines_of_64_bytes(5000);
  const sink_buffering bufferings[] = {{"unbuffered", _IONBF},
                                       {"buffered", _IOFBF},
                                       {"4096-byte buffer", _IOFBF, 4096},
                                       {"line-buffered", _IOLBF, 4096}};
  for (const std::string* input : {&mixed, &even}) {
    const std::string full = convert_in_memory(*input).output;
    if (input == &even) {
      ASSERT_EQ(full.size(), 5000u * 64);
    }
    for (const sink_buffering& buffering : bufferings) {
      for (const size_t capacity : {size_t{0}, size_t{4096}, size_t{5000}, full.size() / 3,
                                    full.size() / 2 + 77, full.size() - 1}) {
        const std::string name = buffering.name + " output full after " + std::to_string(capacity) +
                                 " bytes of " + std::to_string(full.size());
        const sink_run at_once = convert_into_limited_sink(*input, capacity, false, buffering);
        const sink_run queued = convert_into_limited_sink(*input, capacity, true, buffering);
        EXPECT_EQ(at_once.capture.status, 2) << name;
        expect_same_run(queued.capture, at_once.capture, name);
        EXPECT_TRUE(queued.written == at_once.written) << name << ": the written bytes differ";
      }
    }
  }
}

// The '*' warning of a line the other thread wrote can be printed while the reading thread
// waits (for input, say) with lines still queued, once and in the words of the warning.
TEST(LineQueue, WarningOfWrittenLinesIsPrintedWithoutWaitingForTheRest) {
  memory_stream output, messages;
  auto state = std::make_unique<conversion_state>();
  state->messages = messages.file;
  std::unique_ptr<line_queue> queue = open_line_queue(*state, output.file);
  ASSERT_NE(queue, nullptr);
  const std::string plain = "plain line\n";
  const std::string starred = "********   7\n";
  // Two batches' worth: the first (with the starred second line) goes to the other thread.
  constexpr int kLines = 2500;
  for (int line = 0; line < kLines; ++line) {
    const bool ok = line == 1 ? queue_rendered_line(*queue, starred.data(), 13, 8, line)
                              : queue_text(*queue, reinterpret_cast<const uint8_t*>(plain.data()),
                                           static_cast<int32_t>(plain.size()), line);
    ASSERT_TRUE(ok);
  }
  const std::string warning =
      "Warning: value too wide for its 8-column field at line 2, written as '*'\n";
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (messages.text().empty() && std::chrono::steady_clock::now() < give_up) {
    report_line_queue_warning(*queue);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(messages.text(), warning);
  EXPECT_TRUE(close_line_queue(*queue));
  report_line_queue_warning(*queue);
  EXPECT_EQ(messages.text(), warning);
  std::string expected;
  for (int line = 0; line < kLines; ++line) expected += line == 1 ? starred : plain;
  EXPECT_TRUE(output.text() == expected);
}

}  // namespace
}  // namespace asciify::testing
