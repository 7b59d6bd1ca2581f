// xz streams, one after another with their stream padding, through liblzma.
#include "input/decoder.h"

#ifdef ASCIIFY_HAVE_LZMA

#include <lzma.h>

#include <cstdint>
#include <new>

namespace asciify {
namespace {

struct xz_state {
  lzma_stream stream = LZMA_STREAM_INIT;
  bool between_streams = false;
  bool first_stream = true;
  uint64_t padding = 0;  // zero bytes seen since the last stream ended
};

bool start_stream(xz_state& state) {
  // No memory limit, as the library's own tools when decompressing; integrity checks of
  // every kind it knows are verified.
  return lzma_stream_decoder(&state.stream, UINT64_MAX, 0) == LZMA_OK;
}

void* create_xz() {
  auto* state = new (std::nothrow) xz_state;
  if (state == nullptr) return nullptr;
  if (!start_stream(*state)) {
    lzma_end(&state->stream);
    delete state;
    return nullptr;
  }
  return state;
}

void destroy_xz(void* decoder) {
  auto* state = static_cast<xz_state*>(decoder);
  lzma_end(&state->stream);
  delete state;
}

decode_step fail(decode_failure failure, const char* text, size_t consumed = 0) {
  decode_step step;
  step.consumed = consumed;
  step.state = decode_state::failed;
  step.failure = failure;
  step.text = text;
  return step;
}

decode_step failure_of(lzma_ret result, const xz_state& state) {
  switch (result) {
    case LZMA_FORMAT_ERROR:
      if (!state.first_stream) return fail(decode_failure::trailing_data, nullptr);
      return fail(decode_failure::damaged, "file format not recognized");
    case LZMA_OPTIONS_ERROR:
      return fail(decode_failure::damaged, "unsupported options");
    case LZMA_DATA_ERROR:
      return fail(decode_failure::damaged, "compressed data is corrupt");
    case LZMA_MEM_ERROR:
      return fail(decode_failure::resources, "cannot allocate memory");
    case LZMA_MEMLIMIT_ERROR:
      return fail(decode_failure::resources, "memory usage limit reached");
    default:
      return fail(decode_failure::damaged, "unexpected result of the decoder");
  }
}

// Between streams: stream padding (zero bytes, a multiple of four), then the next stream.
// Returns true when the step ends there, as told in `step`; false when the next stream has
// begun and is to be decoded.
bool skip_padding(xz_state& state, const uint8_t* input, size_t size, decode_step* step) {
  size_t zeros = 0;
  while (zeros < size && input[zeros] == 0) ++zeros;
  state.padding += zeros;
  step->consumed = zeros;
  if (zeros == size) {
    step->state =
        state.padding % 4 == 0 ? decode_state::between_streams : decode_state::inside_stream;
    return true;
  }
  if (state.padding % 4 != 0) {
    *step = fail(decode_failure::damaged, "stream padding is not a multiple of four bytes", zeros);
    return true;
  }
  // The next stream's first signature byte; anything else follows the stream.
  if (input[zeros] != 0xFD) {
    *step = fail(decode_failure::trailing_data, nullptr, zeros);
    return true;
  }
  if (!start_stream(state)) {
    *step = fail(decode_failure::resources, "cannot allocate memory", zeros);
    return true;
  }
  state.between_streams = false;
  state.first_stream = false;
  return false;
}

decode_step decode_xz(void* decoder, const uint8_t* input, size_t size, uint8_t* output,
                      size_t capacity) {
  auto& state = *static_cast<xz_state*>(decoder);
  decode_step padding;
  if (state.between_streams && skip_padding(state, input, size, &padding)) return padding;
  lzma_stream& stream = state.stream;
  stream.next_in = input + padding.consumed;
  stream.avail_in = size - padding.consumed;
  stream.next_out = output;
  stream.avail_out = capacity;
  const lzma_ret result = lzma_code(&stream, LZMA_RUN);
  decode_step step;
  step.consumed = size - stream.avail_in;
  step.produced = capacity - stream.avail_out;
  if (result == LZMA_OK || result == LZMA_BUF_ERROR) return step;
  if (result == LZMA_STREAM_END) {
    state.between_streams = true;
    state.padding = 0;
    step.state = decode_state::between_streams;
    return step;
  }
  decode_step failed = failure_of(result, state);
  // Trailing data starts where the would-be stream began.
  failed.consumed =
      failed.failure == decode_failure::trailing_data ? padding.consumed : step.consumed;
  failed.produced = step.produced;
  return failed;
}

}  // namespace

const decoder_ops* xz_decoder() {
  static constexpr decoder_ops ops{create_xz, decode_xz, destroy_xz};
  return &ops;
}

}  // namespace asciify

#else

namespace asciify {
const decoder_ops* xz_decoder() {
  return nullptr;
}
}  // namespace asciify

#endif
