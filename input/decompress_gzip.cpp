// gzip members, one after another, through zlib.
#include "input/decoder.h"

#ifdef ASCIIFY_HAVE_ZLIB

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace asciify {
namespace {

struct gzip_state {
  z_stream stream{};
  bool between_members = false;
  bool padded = false;  // zero bytes followed the last member: nothing else may come
};

void* create_gzip() {
  auto* state = new (std::nothrow) gzip_state;
  if (state == nullptr) return nullptr;
  // 16 + the largest window: a gzip wrapper, its header and trailer checked.
  if (inflateInit2(&state->stream, 16 + MAX_WBITS) != Z_OK) {
    delete state;
    return nullptr;
  }
  return state;
}

void destroy_gzip(void* decoder) {
  auto* state = static_cast<gzip_state*>(decoder);
  inflateEnd(&state->stream);
  delete state;
}

decode_step fail(decode_failure failure, const char* text) {
  decode_step step;
  step.state = decode_state::failed;
  step.failure = failure;
  step.text = text;
  return step;
}

decode_step decode_gzip(void* decoder, const uint8_t* input, size_t size, uint8_t* output,
                        size_t capacity) {
  auto& state = *static_cast<gzip_state*>(decoder);
  if (state.between_members) {
    // Zero bytes of block padding may follow the last member, any number of them; else the
    // next member's first signature byte. Anything else follows the stream.
    size_t zeros = 0;
    while (zeros < size && input[zeros] == 0) ++zeros;
    if (zeros > 0) state.padded = true;
    decode_step step;
    step.consumed = zeros;
    if (zeros == size) {
      step.state = decode_state::between_streams;
      return step;
    }
    if (state.padded || input[zeros] != 0x1F) {
      step = fail(decode_failure::trailing_data, nullptr);
      step.consumed = zeros;
      return step;
    }
    state.between_members = false;
  }
  z_stream& stream = state.stream;
  const auto in_size = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
  const auto out_size = static_cast<uInt>(std::min<size_t>(capacity, UINT_MAX));
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = in_size;
  stream.next_out = output;
  stream.avail_out = out_size;
  const int result = inflate(&stream, Z_NO_FLUSH);
  decode_step step;
  step.consumed = in_size - stream.avail_in;
  step.produced = out_size - stream.avail_out;
  switch (result) {
    case Z_OK:
    case Z_BUF_ERROR:  // no progress possible: more input or more room is needed
      return step;
    case Z_STREAM_END:
      inflateReset(&stream);
      state.between_members = true;
      step.state = decode_state::between_streams;
      return step;
    case Z_MEM_ERROR:
      step.state = decode_state::failed;
      step.failure = decode_failure::resources;
      step.text = "out of memory";
      return step;
    default:
      step.state = decode_state::failed;
      step.failure = decode_failure::damaged;
      step.text = stream.msg != nullptr ? stream.msg : "invalid compressed data";
      return step;
  }
}

}  // namespace

const decoder_ops* gzip_decoder() {
  static constexpr decoder_ops ops{create_gzip, decode_gzip, destroy_gzip};
  return &ops;
}

}  // namespace asciify

#else

namespace asciify {
const decoder_ops* gzip_decoder() {
  return nullptr;
}
}  // namespace asciify

#endif
