#include "input/input_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "input/decode_thread.h"
#include "input/decoder.h"
#include "input/decoding.h"

namespace asciify {

struct input_stream {
  compression_kind kind = compression_kind::none;
  int64_t raw_size = -1;
  bool may_block = false;  // reads may wait for a writer: a pipe, a terminal
  // Plain input is read from the source's raw buffer. Compressed input is decompressed into
  // `block` here, or, once `ring` holds the source, on the ring's thread.
  std::unique_ptr<decoding> source;
  std::unique_ptr<decoded_block> block;
  std::shared_ptr<decode_ring> ring;
  // The bytes ready to be copied out, and what comes after them.
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;
  block_end pending = block_end::none;
  input_failure pending_failure;
  bool ended = false;
  bool failed = false;
  std::string reason;
  int64_t delivered = 0;
  int64_t raw_read = 0;
};

namespace {

input_opening open_failure(int error) {
  return {nullptr, system_error_text(error), error};
}

input_opening open_failure(std::string reason) {
  return {nullptr, std::move(reason), 0};
}

// Makes the bytes of `block` the next to be copied out.
void take_block(input_stream& stream, const decoded_block& block) {
  stream.next = block.data.get();
  stream.end = block.data.get() + block.size;
  stream.pending = block.end;
  stream.pending_failure = block.failure;
  stream.raw_read = block.raw_consumed;
}

void take_plain_bytes(input_stream& stream, bool read_ok) {
  raw_source& raw = stream.source->raw;
  stream.next = raw.buffer.get();
  stream.end = raw.buffer.get() + raw.end;
  stream.pending = block_end::none;
  if (!read_ok) {
    stream.pending = block_end::failed;
    stream.pending_failure = {failure_cause::system, raw.error, nullptr};
  } else if (raw.ended) {
    stream.pending = block_end::end_of_input;
  }
}

// Fetches the next bytes of the input once the ones ready are used up.
void fetch_more(input_stream& stream) {
  if (stream.ring != nullptr) {
    take_block(stream, next_block(*stream.ring));
  } else if (stream.block != nullptr) {
    produce_block(*stream.source, *stream.block);
    take_block(stream, *stream.block);
  } else {
    take_plain_bytes(stream, refill_raw(stream.source->raw));
  }
}

// Prepares decompression of an input that starts with a signature. Returns an empty reason
// when it is ready.
std::string start_decoding(input_stream& stream, const input_options& options) {
  const decoder_ops* ops = decoder_for(stream.kind);
  if (ops == nullptr) {
    return std::string("this build cannot read ") + compression_name(stream.kind) +
           "-compressed input";
  }
  stream.source->ops = ops;
  stream.source->decoder = ops->create();
  if (stream.source->decoder == nullptr) return system_error_text(ENOMEM);
  if (options.decode_in_thread) stream.ring = start_decode_thread(stream.source);
  if (stream.ring == nullptr) stream.block = std::make_unique<decoded_block>();
  return "";
}

// Reads the first bytes of `source` and tells its kind by them.
input_opening open_source(std::unique_ptr<decoding> source, int64_t raw_size, bool may_block,
                          const input_options& options) {
  raw_source& raw = source->raw;
  if (!read_raw_until(raw, kSignatureBytes)) return open_failure(raw.error);
  input_handle stream(new input_stream);
  stream->raw_size = raw_size;
  stream->may_block = may_block;
  stream->kind =
      options.decompress ? detect_compression(raw.buffer.get(), raw.end) : compression_kind::none;
  stream->source = std::move(source);
  if (stream->kind == compression_kind::none) {
    take_plain_bytes(*stream, true);
    return {std::move(stream), "", 0};
  }
  std::string reason = start_decoding(*stream, options);
  if (!reason.empty()) return open_failure(std::move(reason));
  return {std::move(stream), "", 0};
}

}  // namespace

const char* compression_name(compression_kind kind) {
  switch (kind) {
    case compression_kind::gzip:
      return "gzip";
    case compression_kind::xz:
      return "xz";
    case compression_kind::zstd:
      return "zstd";
    case compression_kind::none:
      break;
  }
  return "plain";
}

bool compression_supported(compression_kind kind) {
  return kind == compression_kind::none || decoder_for(kind) != nullptr;
}

void input_stream_closer::operator()(input_stream* stream) const {
  if (stream->ring != nullptr) stop_decode_thread(*stream->ring, stream->may_block);
  delete stream;
}

input_opening open_input_file(const char* name, const input_options& options) {
  const descriptor_opening opened = open_for_reading(name);
  if (opened.fd < 0) return open_failure(opened.error);
  return open_input_descriptor(opened.fd, true, options);
}

input_opening open_standard_input(const input_options& options) {
  return open_input_descriptor(standard_input_descriptor(), false, options);
}

input_opening open_input_descriptor(int fd, bool take_ownership, const input_options& options) {
  auto source = std::make_unique<decoding>();
  source->raw.fd = fd;
  source->raw.owns_fd = take_ownership;
  const descriptor_status status = describe_descriptor(fd);
  // Some systems let a directory be opened for reading; it is no input all the same.
  if (status.error != 0 || status.directory) {
    return open_failure(status.error != 0 ? status.error : EISDIR);
  }
  return open_source(std::move(source), status.size, !status.regular, options);
}

input_opening open_input_reader(raw_reader reader, const input_options& options) {
  auto source = std::make_unique<decoding>();
  source->raw.reader = reader;
  return open_source(std::move(source), -1, false, options);
}

input_opening open_input_memory(const uint8_t* data, size_t size, const input_options& options) {
  static const uint8_t kNothing = 0;
  auto source = std::make_unique<decoding>();
  source->raw.memory = data != nullptr ? data : &kNothing;
  source->raw.memory_size = data != nullptr ? size : 0;
  return open_source(std::move(source), -1, false, options);
}

size_t read_input(input_stream& stream, uint8_t* destination, size_t capacity) {
  size_t copied = 0;
  const uint8_t* bytes = nullptr;
  while (copied < capacity) {
    const size_t count = next_input_bytes(stream, &bytes, capacity - copied);
    if (count == 0) break;
    std::memcpy(destination + copied, bytes, count);
    copied += count;
  }
  return copied;
}

size_t next_input_bytes(input_stream& stream, const uint8_t** bytes, size_t capacity) {
  while (stream.next == stream.end) {
    if (stream.ended || stream.failed) return 0;
    if (stream.pending == block_end::none) {
      fetch_more(stream);
      continue;
    }
    stream.ended = stream.pending == block_end::end_of_input;
    stream.failed = stream.pending == block_end::failed;
    if (stream.failed) stream.reason = failure_reason(stream.pending_failure, stream.kind);
    return 0;
  }
  const size_t count = std::min(capacity, static_cast<size_t>(stream.end - stream.next));
  *bytes = stream.next;
  stream.next += count;
  stream.delivered += static_cast<int64_t>(count);
  if (stream.kind == compression_kind::none) stream.raw_read = stream.delivered;
  return count;
}

bool input_failed(const input_stream& stream) {
  return stream.failed;
}

const std::string& input_failure_reason(const input_stream& stream) {
  return stream.reason;
}

bool input_failed_after_streams(const input_stream& stream) {
  return stream.failed && stream.pending_failure.cause == failure_cause::trailing_data;
}

compression_kind input_compression(const input_stream& stream) {
  return stream.kind;
}

int input_descriptor(const input_stream& stream) {
  const raw_source& raw = stream.ring != nullptr ? stream.ring->source->raw : stream.source->raw;
  return raw.reader.read == nullptr && raw.memory == nullptr ? raw.fd : -1;
}

input_progress input_progress_of(const input_stream& stream) {
  return {stream.raw_read, stream.raw_size, stream.delivered};
}

}  // namespace asciify
