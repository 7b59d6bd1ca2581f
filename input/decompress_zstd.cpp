// zstd frames and skippable frames, one after another, through libzstd.
#include "input/decoder.h"

#ifdef ASCIIFY_HAVE_ZSTD

#include <zstd.h>
#include <zstd_errors.h>

#include <new>

namespace asciify {
namespace {

struct zstd_state {
  ZSTD_DStream* stream = nullptr;
  bool between_frames = false;
};

void* create_zstd() {
  auto* state = new (std::nothrow) zstd_state;
  if (state == nullptr) return nullptr;
  state->stream = ZSTD_createDStream();
  if (state->stream == nullptr || ZSTD_isError(ZSTD_initDStream(state->stream))) {
    ZSTD_freeDStream(state->stream);
    delete state;
    return nullptr;
  }
  return state;
}

void destroy_zstd(void* decoder) {
  auto* state = static_cast<zstd_state*>(decoder);
  ZSTD_freeDStream(state->stream);
  delete state;
}

decode_failure failure_of(size_t result) {
  switch (ZSTD_getErrorCode(result)) {
    case ZSTD_error_memory_allocation:
    case ZSTD_error_frameParameter_windowTooLarge:
      return decode_failure::resources;
    default:
      return decode_failure::damaged;
  }
}

// The first byte of a frame (0x28) or of a skippable frame (0x50 to 0x5F).
bool starts_frame(uint8_t byte) {
  return byte == 0x28 || (byte & 0xF0) == 0x50;
}

decode_step decode_zstd(void* decoder, const uint8_t* input, size_t size, uint8_t* output,
                        size_t capacity) {
  auto& state = *static_cast<zstd_state*>(decoder);
  decode_step step;
  if (state.between_frames) {
    if (size == 0) {
      step.state = decode_state::between_streams;
      return step;
    }
    if (!starts_frame(input[0])) {
      step.state = decode_state::failed;
      step.failure = decode_failure::trailing_data;
      return step;
    }
    state.between_frames = false;
  }
  ZSTD_inBuffer in{input, size, 0};
  ZSTD_outBuffer out{output, capacity, 0};
  const size_t result = ZSTD_decompressStream(state.stream, &out, &in);
  step.consumed = in.pos;
  step.produced = out.pos;
  if (ZSTD_isError(result)) {
    step.state = decode_state::failed;
    step.failure = failure_of(result);
    step.text = ZSTD_getErrorName(result);
  } else if (result == 0) {
    // A frame is complete and all of it delivered.
    state.between_frames = true;
    step.state = decode_state::between_streams;
  }
  return step;
}

}  // namespace

const decoder_ops* zstd_decoder() {
  static constexpr decoder_ops ops{create_zstd, decode_zstd, destroy_zstd};
  return &ops;
}

}  // namespace asciify

#else

namespace asciify {
const decoder_ops* zstd_decoder() {
  return nullptr;
}
}  // namespace asciify

#endif
