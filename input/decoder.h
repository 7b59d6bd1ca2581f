// The decompressors behind an input, one per kind of compression, each a thin step over its
// library. A decoder takes raw bytes and gives decompressed ones; it reads concatenated
// streams as one and says after each step whether what it was given ends a complete stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/input_stream.h"

namespace asciify {

// Bytes that tell the kind of compression: the longest stream header (a zstd frame's).
constexpr size_t kSignatureBytes = 18;

// The kind of compression whose whole stream header `bytes` start with (gzip: the 10-byte
// header with method 8 and no reserved flag; xz: the stream header and its CRC; zstd: a frame
// header); none for anything else, a header cut short included: such input is plain.
compression_kind detect_compression(const uint8_t* bytes, size_t size);

// Whether `bytes`, the first bytes of a file, agree with the magic bytes that open a gzip, xz
// or zstd stream as far as they go: then the file, with what follows them, could be taken for
// compressed input.
bool may_begin_compressed_stream(const uint8_t* bytes, size_t size);

enum class decode_state {
  inside_stream,    // more input is needed to complete the stream
  between_streams,  // the input so far ends a complete stream: the input may end here
  failed,
};

enum class decode_failure {
  none,
  damaged,        // the library rejected the data
  trailing_data,  // a complete stream is followed by bytes that start no stream of its kind
  resources,      // the library lacks memory, or the data asks for more than it allows
};

struct decode_step {
  size_t consumed = 0;
  size_t produced = 0;
  decode_state state = decode_state::inside_stream;
  decode_failure failure = decode_failure::none;
  const char* text = nullptr;  // the library's words for a failure, in static storage
};

// A decoder as a record of its three operations. `decode` consumes what it can of `input`
// and produces at most `capacity` bytes; with neither input nor room left it has nothing to
// do, so a step that consumes and produces nothing on an input that has ended means that the
// stream is cut short (unless it is between streams).
struct decoder_ops {
  void* (*create)();  // nullptr when out of memory
  decode_step (*decode)(void* decoder, const uint8_t* input, size_t size, uint8_t* output,
                        size_t capacity);
  void (*destroy)(void* decoder);
};

// The decoder of each kind, or nullptr when this build has no library for it.
const decoder_ops* gzip_decoder();
const decoder_ops* xz_decoder();
const decoder_ops* zstd_decoder();
const decoder_ops* decoder_for(compression_kind kind);

}  // namespace asciify
