// Reading inputs through the input layer: plain and compressed files, memory, pipes and injected
// failures, in both decoding modes (on a thread of its own and on the reading thread).
#include "input/input_stream.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/compression.h"
#include "tests/support/input_sources.h"
#include "tests/support/random_source.h"
#include "tests/support/test_streams.h"

namespace asciify {
namespace {

using test_support::compress;
using test_support::scratch_dir;
using test_support::zstd_skippable_frame;

constexpr compression_kind kAllKinds[] = {compression_kind::none, compression_kind::gzip,
                                          compression_kind::xz, compression_kind::zstd};

// Text lines with stretches of random bytes between them, so that the compressed form is
// large as well: `size` bytes.
std::string sample_input(size_t size, uint64_t seed) {
  static const char* const kLines[] = {"*TABLE, NAME=alpha\n", "*ROWS, NAME=beta\n",
                                       "  1,  2.5,  3.75\n", "gamma delta epsilon\n"};
  test_support::random_source random{seed};
  std::string bytes;
  while (bytes.size() < size) {
    bytes += kLines[random.below(4)];
    const size_t noise = random.below(200);
    for (size_t i = 0; i < noise; ++i) bytes += static_cast<char>(random.next() & 0xFF);
  }
  bytes.resize(size);
  return bytes;
}

struct read_outcome {
  compression_kind kind = compression_kind::none;
  std::string bytes;
  bool failed = false;
  std::string reason;
  input_progress progress;
};

// Reads the whole input in requests of the given sizes, in turn, and checks what must hold
// after every read: only the last read is short, the delivered count follows the bytes, and
// the raw count never goes back nor past the file's size (it is the delivered count for
// plain input).
read_outcome read_all(input_stream& stream, const std::vector<size_t>& sizes = {512}) {
  read_outcome outcome;
  outcome.kind = input_compression(stream);
  std::vector<uint8_t> buffer(*std::max_element(sizes.begin(), sizes.end()));
  int64_t raw_before = 0;
  for (size_t turn = 0;; ++turn) {
    const size_t wanted = sizes[turn % sizes.size()];
    const size_t got = read_input(stream, buffer.data(), wanted);
    outcome.bytes.append(reinterpret_cast<const char*>(buffer.data()), got);
    const input_progress progress = input_progress_of(stream);
    EXPECT_EQ(progress.bytes_delivered, static_cast<int64_t>(outcome.bytes.size()));
    EXPECT_GE(progress.raw_bytes_read, raw_before);
    if (progress.raw_size >= 0) {
      EXPECT_LE(progress.raw_bytes_read, progress.raw_size);
    }
    if (outcome.kind == compression_kind::none) {
      EXPECT_EQ(progress.raw_bytes_read, progress.bytes_delivered);
    }
    raw_before = progress.raw_bytes_read;
    if (got < wanted) break;
    EXPECT_FALSE(input_failed(stream));
  }
  // Once ended or failed, the input stays so.
  EXPECT_EQ(read_input(stream, buffer.data(), 1), 0u);
  outcome.failed = input_failed(stream);
  outcome.reason = input_failure_reason(stream);
  outcome.progress = input_progress_of(stream);
  return outcome;
}

// Stores `stored` in a file of `dir` and reads it whole.
read_outcome read_stored(const scratch_dir& dir, const std::string& stored, bool thread,
                         const std::vector<size_t>& sizes = {512}) {
  input_opening opened = open_input_file(dir.write("in", stored).c_str(), {thread});
  if (!opened.stream) {
    ADD_FAILURE() << opened.reason;
    return {};
  }
  return read_all(*opened.stream, sizes);
}

// Bytes written in hexadecimal, two digits each, separated by spaces.
std::string bytes(const std::string& hex) {
  std::string made;
  for (size_t at = 0; at + 1 < hex.size(); at += 3) {
    made += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  }
  return made;
}

std::string trace(compression_kind kind, bool thread) {
  return std::string(compression_name(kind)) + (thread ? ", decoding thread" : ", reading thread");
}

#ifndef _WIN32
// Writes `bytes` into a pipe in pieces of growing size (1, 2, 3, ... bytes), so that even
// the signature arrives over several reads. Returns the read end.
int pipe_fed_in_pieces(const std::string& bytes, std::thread* writer) {
  int ends[2];
  if (pipe(ends) != 0) throw std::runtime_error("pipe failed");
  *writer = std::thread([bytes, fd = ends[1]] {
    size_t piece = 1;
    for (size_t at = 0; at < bytes.size(); at += piece++) {
      const size_t count = std::min(piece, bytes.size() - at);
      if (write(fd, bytes.data() + at, count) != static_cast<ssize_t>(count)) break;
    }
    close(fd);
  });
  return ends[0];
}
#endif

// The same bytes from a file, from memory and through a pipe, in requests of any size; the raw
// count ends at the stored size, which only a file knows beforehand.
TEST(InputKinds, ReadsEachKindWholeFromAFileMemoryAndAPipe) {
  const scratch_dir dir;
  const std::string payloads[] = {"", "*TABLE, NAME=alpha\n", sample_input(700'000, 1)};
  const std::vector<std::vector<size_t>> request_sizes = {{512},     {1},       {3, 7, 511},
                                                          {4099, 1}, {131'072}, {1 << 20}};
  for (const compression_kind kind : kAllKinds) {
    if (!compression_supported(kind)) continue;  // built without it
    for (const std::string& payload : payloads) {
      const std::string stored = compress(kind, payload);
      const auto expect_whole = [&](const read_outcome& outcome, int64_t raw_size) {
        EXPECT_EQ(outcome.kind, kind);
        EXPECT_FALSE(outcome.failed) << outcome.reason;
        EXPECT_TRUE(outcome.bytes == payload);
        EXPECT_EQ(outcome.progress.raw_size, raw_size);
        EXPECT_EQ(outcome.progress.raw_bytes_read, static_cast<int64_t>(stored.size()));
      };
      for (size_t turn = 0; turn < request_sizes.size(); ++turn) {
        const bool thread = turn % 2 == 0;
        // Reading the large payload a byte at a time takes long: that is left to the others.
        if (payload.size() > 100'000 && turn == 1) continue;
        SCOPED_TRACE(trace(kind, thread) + ", " + std::to_string(payload.size()) +
                     " bytes, requests of " + std::to_string(request_sizes[turn][0]));
        expect_whole(read_stored(dir, stored, thread, request_sizes[turn]),
                     static_cast<int64_t>(stored.size()));
        input_opening in_memory = open_input_memory(reinterpret_cast<const uint8_t*>(stored.data()),
                                                    stored.size(), {thread});
        expect_whole(read_all(*in_memory.stream, request_sizes[turn]), -1);
#ifndef _WIN32
        if (turn > 3) continue;
        std::thread writer;
        input_opening piped =
            open_input_descriptor(pipe_fed_in_pieces(stored, &writer), true, {thread});
        ASSERT_TRUE(piped.stream) << piped.reason;
        const read_outcome outcome = read_all(*piped.stream, request_sizes[turn]);
        writer.join();
        expect_whole(outcome, -1);
#endif
      }
    }
  }
}

// Concatenated streams read as one, and zero bytes after the last stream as its format's own
// tool takes them (gzip: any number; xz: stream padding). A stream cut short, damaged or
// followed by other bytes fails with the reason (for trailing bytes, where they start): the
// decoders' own test finds each stream complete exactly at its end.
TEST(InputKinds, ReadsConcatenatedStreamsAsOneAndFailsOnBadBytes) {
  using enum compression_kind;
  for (const compression_kind kind : {gzip, xz, zstd}) {
    if (!compression_supported(kind)) GTEST_SKIP() << "built without " << compression_name(kind);
  }
  const scratch_dir dir;
  const std::string a = sample_input(150'000, 2), b = sample_input(90'000, 3);
  const std::string gz = compress(gzip, a), x = compress(xz, a), zs = compress(zstd, a);
  const std::string pad(4, '\0'), text = "*TABLE, NAME=alpha\n";
  auto flipped = [](std::string bytes, size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    return bytes;
  };
  const std::string cut_xz = "unexpected end of xz data: the input is cut short";
  const std::string cut_gzip = "unexpected end of gzip data: the input is cut short";
  const auto after = [](compression_kind kind, size_t at) {
    return std::string("unexpected data after the end of the ") + compression_name(kind) +
           " stream, at byte " + std::to_string(at) + " of the compressed input";
  };
  const std::string zeros(512, '\0');
  const std::string corrupt_xz = "damaged xz data: compressed data is corrupt";
  const struct {
    std::string stored;
    compression_kind kind;
    std::string reason;  // "" when the input reads whole as a + b
  } cases[] = {
      {gz + compress(gzip, "") + compress(gzip, b), gzip, ""},
      {x + compress(xz, b), xz, ""},
      {x + pad + compress(xz, "") + pad + pad + compress(xz, b) + pad, xz, ""},
      {zstd_skippable_frame("alpha", 0) + zs + zstd_skippable_frame("", 15) + compress(zstd, "") +
           compress(zstd, b) + zstd_skippable_frame("beta", 7),
       zstd, ""},
      {flipped(gz, gz.size() - 1), gzip, "damaged gzip data: incorrect length check"},
      {flipped(gz, gz.size() - 6), gzip, "damaged gzip data: incorrect data check"},
      {flipped(x, x.size() - 20), xz, corrupt_xz},
      {flipped(x, 13), xz, corrupt_xz},
      {flipped(zs, zs.size() - 1), zstd, "damaged zstd data: Restored data doesn't match checksum"},
      {gz + compress(gzip, b) + pad, gzip, ""},
      {gz + compress(gzip, b) + zeros + "\0", gzip, ""},
      {x + compress(xz, b) + zeros, xz, ""},
      {gz + text, gzip, after(gzip, gz.size())},
      {gz + zeros + text, gzip, after(gzip, gz.size() + zeros.size())},
      {gz + pad + gz, gzip, after(gzip, gz.size() + pad.size())},
      {x + text, xz, after(xz, x.size())},
      {x + pad + "\3757zX!" + std::string(32, 'a'), xz, after(xz, x.size() + pad.size())},
      {zs + text, zstd, after(zstd, zs.size())},
      {zs + pad, zstd, after(zstd, zs.size())},
      {x + pad.substr(1), xz, cut_xz},
      {x.substr(0, 12), xz, cut_xz},
      {gz.substr(0, gz.size() - 1), gzip, cut_gzip},
      {gz + gz.substr(0, 12), gzip, cut_gzip},
      {zs.substr(0, zs.size() / 2), zstd, "unexpected end of zstd data: the input is cut short"},
      {x + pad.substr(1) + x, xz,
       "damaged xz data: stream padding is not a multiple of four bytes"},
  };
  for (const auto& c : cases) {
    for (const bool thread : {false, true}) {
      SCOPED_TRACE(trace(c.kind, thread) + ": " + c.reason);
      const read_outcome outcome = read_stored(dir, c.stored, thread);
      EXPECT_EQ(outcome.kind, c.kind);
      EXPECT_EQ(outcome.failed, !c.reason.empty());
      EXPECT_EQ(outcome.reason, c.reason);
      // Bytes after complete streams: every decompressed byte came before the failure.
      if (c.reason.starts_with("unexpected data after")) {
        EXPECT_TRUE(outcome.bytes == a);
      }
      if (!c.reason.empty()) continue;
      EXPECT_TRUE(outcome.bytes == a + b);
      EXPECT_EQ(outcome.progress.raw_bytes_read, static_cast<int64_t>(c.stored.size()));
    }
  }
}

// A stream header tells the kind only when whole and valid: anything shorter or with a field
// out of its range is plain input. A header with nothing after it is a stream cut short; a
// kind this build cannot read is refused.
// An xz header whose CRC is wrong is plain input where liblzma or zlib can check it.
#if defined(ASCIIFY_HAVE_LZMA) || defined(ASCIIFY_HAVE_ZLIB)
constexpr compression_kind kWrongCrc = compression_kind::none;
#else
constexpr compression_kind kWrongCrc = compression_kind::xz;
#endif

TEST(InputSignatures, TellTheKind) {
  scratch_dir dir;
  using enum compression_kind;
  const struct {
    std::string bytes;
    compression_kind kind;
  } cases[] = {
      // clang-format off
      {"", none}, {"\037", none}, {"\x1F\x8B", none}, {"\x1F\x8B\x08", none},
      {bytes("1f 8b 08 00 00 00 00 00 00"), none}, {bytes("1f 8b 08 00 00 00 00 00 00 03"), gzip},
      {bytes("1f 8b 08 1f 00 00 00 00 00 03"), gzip}, {bytes("1f 8b 07 00 00 00 00 00 00 03"), none},
      {bytes("1f 8b 08 20 00 00 00 00 00 03"), none}, {bytes("1f 8b 08 80 00 00 00 00 00 03"), none},
      {bytes("fd 37 7a 58 5a 00"), none}, {bytes("fd 37 7a 58 5a 00 00 04 e6 d6 b4"), none},
      {bytes("fd 37 7a 58 5a 00 00 04 e6 d6 b4 46"), xz},
      {bytes("fd 37 7a 58 5a 00 00 04 e6 d6 b4 47"), kWrongCrc},
      {bytes("fd 37 7a 58 5a 00 01 04 e6 d6 b4 46"), none}, {bytes("28 b5 2f fd"), none},
      {bytes("28 b5 2f fc 20 00"), none}, {bytes("28 b5 2f fd 20 00"), zstd},
      {bytes("28 b5 2f fd 28 00"), none}, {bytes("28 b5 2f fd 00"), none},
      {bytes("28 b5 2f fd 00 58"), zstd}, {bytes("28 b5 2f fd c0 58 01 02 03 04 05 06 07"), none},
      {bytes("28 b5 2f fd c0 58 01 02 03 04 05 06 07 08"), zstd},
      {bytes("50 2a 4d 18 00 00 00"), none}, {bytes("50 2a 4d 18 01 00 00 00"), zstd},
      {bytes("5f 2a 4d 18 01 00 00 00"), zstd}, {bytes("4f 2a 4d 18 00 00 00 00"), none},
      {bytes("60 2a 4d 18 00 00 00 00"), none}, {"*TABLE, NAME=alpha\n", none},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    if (!compression_supported(c.kind)) {
      EXPECT_EQ(
          open_input_file(dir.write("in", c.bytes).c_str()).reason,
          std::string("this build cannot read ") + compression_name(c.kind) + "-compressed input");
      continue;
    }
    const read_outcome outcome = read_stored(dir, c.bytes, false, {1});
    EXPECT_EQ(outcome.kind, c.kind);
    EXPECT_EQ(outcome.failed, c.kind != none);
    if (c.kind == none) {
      EXPECT_EQ(outcome.bytes, c.bytes);
    } else {
      EXPECT_TRUE(outcome.reason.starts_with("unexpected end of ")) << outcome.reason;
    }
  }
}

#ifndef _WIN32
TEST(InputPipes, ClosingDoesNotWaitForAStalledPipe) {
  if (!compression_supported(compression_kind::gzip)) GTEST_SKIP() << "built without gzip";
  const std::string stored = compress(compression_kind::gzip, sample_input(2'000'000, 8));
  // The writer finds the pipe closed: an error for it, not the end of the test program.
  const auto previous_action = std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::promise<void> closed;
  // Sends the start, less than the decoding thread reads ahead, then holds the pipe open
  // until the input has been closed: the thread is left waiting for more.
  std::thread writer([&, fd = ends[1]] {
    const ssize_t sent = write(fd, stored.data(), 150'000);
    closed.get_future().wait();
    close(fd);
    EXPECT_GT(sent, 0);
  });
  input_opening opened = open_input_descriptor(ends[0], true);
  ASSERT_TRUE(opened.stream) << opened.reason;
  std::vector<uint8_t> buffer(100'000);
  EXPECT_EQ(read_input(*opened.stream, buffer.data(), buffer.size()), buffer.size());
  auto closing = std::async(std::launch::async, [&] { opened.stream.reset(); });
  const bool prompt = closing.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  closed.set_value();
  writer.join();
  std::signal(SIGPIPE, previous_action);
  EXPECT_TRUE(prompt) << "closing waited for the writer";
}
#endif

TEST(InputKinds, ReadErrorsCarryTheSystemsReason) {
  const std::string payload = sample_input(200'000, 9);
  for (const compression_kind kind : kAllKinds) {
    if (!compression_supported(kind)) continue;  // built without it
    const std::string stored = compress(kind, payload);
    for (const size_t fail_at : {size_t{0}, size_t{3}, size_t{5000}, stored.size() / 2}) {
      for (const bool thread : {false, true}) {
        SCOPED_TRACE(trace(kind, thread) + ", failing after " + std::to_string(fail_at));
        test_support::failing_source source{stored, fail_at};
        input_opening opened = open_input_reader(source.reader(), {thread});
        // The first bytes tell the kind of input: a failure there fails the opening.
        EXPECT_EQ(opened.stream == nullptr, fail_at < 6);
        if (!opened.stream) {
          EXPECT_EQ(opened.reason, "Input/output error");
          continue;
        }
        const read_outcome outcome = read_all(*opened.stream);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.reason, "Input/output error");
        EXPECT_TRUE(payload.starts_with(outcome.bytes));
        if (kind == compression_kind::none) {
          EXPECT_EQ(outcome.bytes.size(), fail_at);
        }
      }
    }
  }
}

// The source stalls before every piece, or the reader stalls between its reads so that the
// decoding thread runs out of room; either may happen before the source fails. The waiting
// side sleeps until the other goes on, and every byte or the source's failure comes through.
// (Also run under ThreadSanitizer.)
TEST(InputKinds, AStalledSourceOrReaderIsWaitedFor) {
  const std::string payload = sample_input(1'000'000, 10);
  for (const compression_kind kind : kAllKinds) {
    if (!compression_supported(kind)) continue;  // built without it
    const std::string stored = compress(kind, payload);
    for (const bool fails : {false, true}) {
      for (const bool source_stalls : {false, true}) {
        SCOPED_TRACE(trace(kind, true) + (source_stalls ? ", the source" : ", the reader") +
                     " stalls" + (fails ? ", then the source fails" : ""));
        test_support::failing_source source{stored, fails ? stored.size() / 2 : SIZE_MAX, 4096,
                                            source_stalls ? 200 : 0};
        input_opening opened = open_input_reader(source.reader(), {true});
        ASSERT_TRUE(opened.stream) << opened.reason;
        std::string bytes;
        std::vector<uint8_t> buffer(64 * 1024);
        size_t got = 0;
        do {
          if (!source_stalls) test_support::pause_for(2000);
          got = read_input(*opened.stream, buffer.data(), buffer.size());
          bytes.append(reinterpret_cast<const char*>(buffer.data()), got);
        } while (got == buffer.size());
        EXPECT_EQ(input_failed(*opened.stream), fails);
        if (fails) {
          EXPECT_EQ(input_failure_reason(*opened.stream), "Input/output error");
          EXPECT_TRUE(payload.starts_with(bytes));
        } else {
          EXPECT_TRUE(bytes == payload) << bytes.size() << " bytes";
        }
      }
    }
  }
}

}  // namespace
}  // namespace asciify
