// Reading speed of the input layer: each file is read whole in requests of 512 bytes (as the
// conversion reads), through the layer with decompression on its own thread and on the
// reading thread, and, for comparison, through a stdio stream with a 64 KiB buffer:
//
//   input_speed [--runs N] FILE...
//
// prints one line per file and way of reading, with the median time, the MB/s of delivered
// (decompressed) bytes and the MB/s of the file's own bytes. Page cache is warmed first.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "input/input_stream.h"

namespace {

using asciify::input_options;

constexpr size_t kRequest = 512;

struct reading {
  int64_t delivered = 0;
  int64_t raw = 0;
  uint64_t digest = 0;  // keeps the copies from being optimised away
  bool ok = true;
};

uint64_t fold(uint64_t digest, const uint8_t* bytes, size_t size) {
  if (size >= 8) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    digest = digest * 31 + word;
  }
  return digest + size;
}

reading read_with_layer(const char* name, bool thread) {
  reading result;
  asciify::input_opening opened = asciify::open_input_file(name, input_options{thread});
  if (!opened.stream) {
    std::fprintf(stderr, "%s: %s\n", name, opened.reason.c_str());
    result.ok = false;
    return result;
  }
  uint8_t buffer[kRequest];
  for (;;) {
    const size_t got = asciify::read_input(*opened.stream, buffer, kRequest);
    result.digest = fold(result.digest, buffer, got);
    if (got < kRequest) break;
  }
  if (asciify::input_failed(*opened.stream)) {
    std::fprintf(stderr, "%s: %s\n", name, asciify::input_failure_reason(*opened.stream).c_str());
    result.ok = false;
  }
  const asciify::input_progress progress = asciify::input_progress_of(*opened.stream);
  result.delivered = progress.bytes_delivered;
  result.raw = progress.raw_bytes_read;
  return result;
}

reading read_with_stdio(const char* name) {
  reading result;
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    result.ok = false;
    return result;
  }
  static char stream_buffer[1 << 16];
  std::setvbuf(file, stream_buffer, _IOFBF, sizeof stream_buffer);
  uint8_t buffer[kRequest];
  for (;;) {
    const size_t got = fread_unlocked(buffer, 1, kRequest, file);
    result.digest = fold(result.digest, buffer, got);
    result.delivered += static_cast<int64_t>(got);
    if (got < kRequest) break;
  }
  result.ok = std::ferror(file) == 0;
  std::fclose(file);
  result.raw = result.delivered;
  return result;
}

template <typename Read>
void time_reading(const char* name, const char* way, int runs, Read read) {
  std::vector<double> seconds;
  reading last;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    last = read();
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!last.ok) return;
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf("%-28s %-22s %8.3f s %9.1f MB/s out %9.1f MB/s in\n", name, way, median,
              static_cast<double>(last.delivered) / 1e6 / median,
              static_cast<double>(last.raw) / 1e6 / median);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: input_speed [--runs N] FILE...\n");
    return 2;
  }
  for (const char* name : files) {
    read_with_stdio(name);  // warms the page cache
    time_reading(name, "layer, decoding thread", runs, [&] { return read_with_layer(name, true); });
    time_reading(name, "layer, one thread", runs, [&] { return read_with_layer(name, false); });
    time_reading(name, "stdio fread", runs, [&] { return read_with_stdio(name); });
  }
  return 0;
}
