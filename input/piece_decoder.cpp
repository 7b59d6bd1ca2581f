#include "input/piece_decoder.h"

#include <cerrno>

namespace asciify {

piece_decoder::~piece_decoder() {
  if (decoder != nullptr) ops->destroy(decoder);
}

std::unique_ptr<piece_decoder> make_piece_decoder(compression_kind kind, std::string* reason) {
  const decoder_ops* ops = decoder_for(kind);
  if (ops == nullptr) {
    *reason = std::string("this build cannot read ") + compression_name(kind) + "-compressed input";
    return nullptr;
  }
  auto d = std::make_unique<piece_decoder>();
  d->kind = kind;
  d->ops = ops;
  d->decoder = ops->create();
  if (d->decoder == nullptr) {
    *reason = system_error_text(ENOMEM);
    return nullptr;
  }
  return d;
}

bool decode_piece(piece_decoder& d, const uint8_t* data, size_t size, decoded_bytes_sink sink) {
  if (d.failure.cause != failure_cause::none) return false;
  for (;;) {
    // The decoder goes first, also when the piece is used up: it may hold output.
    const decode_step step = d.ops->decode(d.decoder, data, size, d.block.get(), kBlockSize);
    data += step.consumed;
    size -= step.consumed;
    d.raw_consumed += static_cast<int64_t>(step.consumed);
    if (step.produced != 0) sink.take(sink.context, d.block.get(), step.produced);
    d.state = step.state;
    if (step.state == decode_state::failed) {
      d.failure = failure_of_step(step);
      d.failure.raw_offset = d.raw_consumed;
      return false;
    }
    if (step.consumed != 0 || step.produced != 0) continue;
    if (size == 0) return true;
    // Input and room, yet no progress: never expected of a library; ends the input rather
    // than spinning.
    d.failure = {failure_cause::damaged, 0, "the decoder makes no progress"};
    return false;
  }
}

bool finish_pieces(piece_decoder& d, decoded_bytes_sink sink) {
  static const uint8_t kNothing = 0;
  if (!decode_piece(d, &kNothing, 0, sink)) return false;
  // All input used and nothing more to come: a clean end only between streams.
  if (d.state == decode_state::between_streams) return true;
  d.failure = {failure_cause::truncated, 0, nullptr};
  return false;
}

std::string piece_failure_reason(const piece_decoder& d) {
  return failure_reason(d.failure, d.kind);
}

bool piece_failed_after_streams(const piece_decoder& d) {
  return d.failure.cause == failure_cause::trailing_data;
}

}  // namespace asciify
