// The raw side of an input and its decompression into blocks: what runs on the decoding
// thread, or on the reading thread when there is none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "input/decoder.h"
#include "input/input_stream.h"
#include "input/system_file.h"

namespace asciify {

constexpr size_t kRawBufferSize = size_t{1} << 17;  // bytes asked of the system at a time
constexpr size_t kBlockSize = size_t{1} << 17;      // decompressed bytes handed over at a time

// Raw bytes of the input: its descriptor (or another reader) and the buffer of bytes read.
struct raw_source {
  int fd = -1;
  bool owns_fd = false;
  raw_reader reader;  // used instead of the descriptor when set
  // Bytes held in memory, used instead of both when set.
  const uint8_t* memory = nullptr;
  size_t memory_size = 0;
  size_t memory_used = 0;
  std::unique_ptr<uint8_t[]> buffer = std::make_unique_for_overwrite<uint8_t[]>(kRawBufferSize);
  size_t pos = 0;  // first byte of the buffer not yet used
  size_t end = 0;  // one past the last byte read
  bool ended = false;
  int error = 0;  // the system's error number of a failed read

  raw_source() = default;
  raw_source(const raw_source&) = delete;
  raw_source& operator=(const raw_source&) = delete;
  ~raw_source();
};

// Reads more behind the bytes held, up to `wanted` held in all (at most the buffer's size);
// stops early at the end of the input. Returns false on a read error, kept in `error`.
bool read_raw_until(raw_source& raw, size_t wanted);

// Empties the buffer and reads into it once. Returns false on a read error.
bool refill_raw(raw_source& raw);

// Why an input failed, kept as plain values so that it can cross threads; the reason's text
// is made from it by the reading thread.
enum class failure_cause { none, system, truncated, damaged, trailing_data, resources };
struct input_failure {
  failure_cause cause = failure_cause::none;
  int error = 0;               // the system's error number, for failure_cause::system
  const char* text = nullptr;  // the library's words, in static storage
  int64_t raw_offset = -1;     // for trailing_data: where it starts in the compressed input
};

std::string failure_reason(const input_failure& failure, compression_kind kind);

// The failure of a decoding step that failed.
input_failure failure_of_step(const decode_step& step);

// A compressed input being decompressed.
struct decoding {
  raw_source raw;
  const decoder_ops* ops = nullptr;
  void* decoder = nullptr;
  int64_t raw_consumed = 0;  // raw bytes taken by the decoder so far

  decoding() = default;
  decoding(const decoding&) = delete;
  decoding& operator=(const decoding&) = delete;
  ~decoding();
};

enum class block_end { none, end_of_input, failed };

// Decompressed bytes handed over at once, and what follows them.
struct decoded_block {
  std::unique_ptr<uint8_t[]> data = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
  size_t size = 0;
  int64_t raw_consumed = 0;  // raw bytes taken by the decoder up to the end of this block
  block_end end = block_end::none;
  input_failure failure;
};

// Fills `block` with the next decompressed bytes, until it is full or the input ends or
// fails.
void produce_block(decoding& source, decoded_block& block);

}  // namespace asciify
