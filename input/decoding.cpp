#include "input/decoding.h"

#include <algorithm>
#include <string>

namespace asciify {
namespace {

raw_read read_from(raw_source& raw, uint8_t* buffer, size_t capacity) {
  if (raw.memory != nullptr) {
    const size_t count = std::min(capacity, raw.memory_size - raw.memory_used);
    std::copy_n(raw.memory + raw.memory_used, count, buffer);
    raw.memory_used += count;
    return {count, 0};
  }
  if (raw.reader.read != nullptr) return raw.reader.read(raw.reader.context, buffer, capacity);
  return read_descriptor(raw.fd, buffer, capacity);
}

}  // namespace

raw_source::~raw_source() {
  if (owns_fd) close_descriptor(fd);
}

bool read_raw_until(raw_source& raw, size_t wanted) {
  wanted = std::min(wanted, kRawBufferSize);
  while (!raw.ended && raw.end < wanted) {
    const raw_read got = read_from(raw, raw.buffer.get() + raw.end, kRawBufferSize - raw.end);
    if (got.error != 0) {
      raw.error = got.error;
      return false;
    }
    if (got.size == 0) raw.ended = true;
    raw.end += got.size;
  }
  return true;
}

bool refill_raw(raw_source& raw) {
  raw.pos = 0;
  raw.end = 0;
  return read_raw_until(raw, 1);
}

std::string failure_reason(const input_failure& failure, compression_kind kind) {
  const std::string name = compression_name(kind);
  const std::string text = failure.text != nullptr ? failure.text : "";
  switch (failure.cause) {
    case failure_cause::system:
      return system_error_text(failure.error);
    case failure_cause::truncated:
      return "unexpected end of " + name + " data: the input is cut short";
    case failure_cause::damaged:
      return "damaged " + name + " data: " + text;
    case failure_cause::trailing_data:
      return "unexpected data after the end of the " + name + " stream, at byte " +
             std::to_string(failure.raw_offset) + " of the compressed input";
    case failure_cause::resources:
      return "cannot decompress the " + name + " data: " + text;
    case failure_cause::none:
      break;
  }
  return "";
}

input_failure failure_of_step(const decode_step& step) {
  switch (step.failure) {
    case decode_failure::trailing_data:
      return {failure_cause::trailing_data, 0, nullptr};
    case decode_failure::resources:
      return {failure_cause::resources, 0, step.text};
    case decode_failure::damaged:
    case decode_failure::none:
      break;
  }
  return {failure_cause::damaged, 0, step.text};
}

decoding::~decoding() {
  if (decoder != nullptr) ops->destroy(decoder);
}

void produce_block(decoding& source, decoded_block& block) {
  raw_source& raw = source.raw;
  block.size = 0;
  block.end = block_end::none;
  while (block.size < kBlockSize) {
    // The decoder goes first: it may hold output that needs no more input.
    const size_t available = raw.end - raw.pos;
    const decode_step step =
        source.ops->decode(source.decoder, raw.buffer.get() + raw.pos, available,
                           block.data.get() + block.size, kBlockSize - block.size);
    raw.pos += step.consumed;
    source.raw_consumed += static_cast<int64_t>(step.consumed);
    block.size += step.produced;
    if (step.state == decode_state::failed) {
      block.end = block_end::failed;
      block.failure = failure_of_step(step);
      block.failure.raw_offset = source.raw_consumed;
      break;
    }
    if (step.consumed != 0 || step.produced != 0) continue;
    if (available != 0) {
      // Input and room, yet no progress: never expected of a library; ends the input rather
      // than spinning.
      block.end = block_end::failed;
      block.failure = {failure_cause::damaged, 0, "the decoder makes no progress"};
      break;
    }
    if (!raw.ended) {
      if (refill_raw(raw)) continue;
      block.end = block_end::failed;
      block.failure = {failure_cause::system, raw.error, nullptr};
      break;
    }
    // All input used and nothing more to come: a clean end only between streams.
    block.end = block_end::end_of_input;
    if (step.state != decode_state::between_streams) {
      block.end = block_end::failed;
      block.failure = {failure_cause::truncated, 0, nullptr};
    }
    break;
  }
  block.raw_consumed = source.raw_consumed;
}

}  // namespace asciify
