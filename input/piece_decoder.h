// Decompression of an input that arrives in pieces, as a converter that is fed bytes receives
// it: each piece is decoded as far as it goes and the decompressed bytes are handed on block by
// block. Concatenated streams, truncation, damage and trailing data are told apart as for an
// input that is read (input_stream.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "input/decoding.h"

namespace asciify {

// Receives `size` decompressed bytes.
struct decoded_bytes_sink {
  void (*take)(void* context, const uint8_t* bytes, size_t size) = nullptr;
  void* context = nullptr;
};

struct piece_decoder {
  compression_kind kind = compression_kind::none;
  const decoder_ops* ops = nullptr;
  void* decoder = nullptr;
  decode_state state = decode_state::inside_stream;
  input_failure failure;     // cause none while nothing failed
  int64_t raw_consumed = 0;  // raw bytes taken by the decoder so far
  std::unique_ptr<uint8_t[]> block = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);

  piece_decoder() = default;
  piece_decoder(const piece_decoder&) = delete;
  piece_decoder& operator=(const piece_decoder&) = delete;
  ~piece_decoder();
};

// A decoder of `kind`, or nothing with *reason set when this build cannot read it or no decoder
// can be had.
std::unique_ptr<piece_decoder> make_piece_decoder(compression_kind kind, std::string* reason);

// Decodes the next `size` raw bytes. Returns false once the decoding has failed.
bool decode_piece(piece_decoder& d, const uint8_t* data, size_t size, decoded_bytes_sink sink);

// The input has ended: hands on what the decoder still holds. Returns false when the input
// ended inside a stream (cut short) or the decoding failed.
bool finish_pieces(piece_decoder& d, decoded_bytes_sink sink);

// The reason of the failure, in the words of a failed read ("damaged gzip data: ...").
std::string piece_failure_reason(const piece_decoder& d);

// Whether the failure came after complete streams (trailing data): every decompressed byte
// was handed on and is worth converting.
bool piece_failed_after_streams(const piece_decoder& d);

}  // namespace asciify
