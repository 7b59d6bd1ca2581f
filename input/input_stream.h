// The converter's input: a file, standard input or another byte source, read through a buffer
// of its own, and decompressed on the fly when it starts with the whole header of a gzip, xz or
// zstd stream. Offsets and counts of delivered bytes are those of the decompressed stream.
//
// Concatenated streams of one kind are read as one (gzip members, xz streams with their
// stream padding, zstd frames and skippable frames). After a complete stream the input must
// end, go on with another stream of the same kind, or end in zero bytes (gzip: any number;
// xz: stream padding); anything else, a stream that is cut short and a damaged stream are
// read failures with a reason, never a silent end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "input/system_file.h"

namespace asciify {

enum class compression_kind { none, gzip, xz, zstd };

// "plain", "gzip", "xz" or "zstd".
const char* compression_name(compression_kind kind);

// Whether this build can decompress `kind` (each library is optional at build time).
bool compression_supported(compression_kind kind);

// How far an input has been read, for a progress display.
struct input_progress {
  int64_t raw_bytes_read = 0;   // bytes of the file behind the bytes delivered so far
  int64_t raw_size = -1;        // size of the file, -1 when not known (a pipe, a terminal)
  int64_t bytes_delivered = 0;  // bytes handed out by read_input
};

// A source of raw bytes other than a descriptor (an in-memory input, an injected failure).
// `read` fills up to `capacity` bytes and returns their count, 0 at the end, or the error
// number of a failure.
struct raw_reader {
  raw_read (*read)(void* context, uint8_t* buffer, size_t capacity) = nullptr;
  void* context = nullptr;
};

struct input_options {
  // Decompress on a thread of the input's own, a few blocks ahead of the reader.
  bool decode_in_thread = true;
  // Tell a compressed input by its header and decompress it; when off, every input is read as
  // it is.
  bool decompress = true;
};

struct input_stream;
struct input_stream_closer {
  void operator()(input_stream* stream) const;
};
// Closing an input releases its descriptor (unless it was lent) and its thread; it never
// waits for more input to arrive.
using input_handle = std::unique_ptr<input_stream, input_stream_closer>;

// An opened input, or why it could not be opened.
struct input_opening {
  input_handle stream;   // empty when the input could not be opened
  std::string reason;    // the reason when it could not: "No such file or directory"
  int system_error = 0;  // the system's error number behind the reason, 0 when none
};

// Opening reads the first bytes to tell a compressed input from a plain one. An input that
// cannot be read as a file (a directory), whose first bytes cannot be read, or whose kind of
// compression this build cannot read, is not opened.
input_opening open_input_file(const char* name, const input_options& options = {});
input_opening open_standard_input(const input_options& options = {});
// Reads from `fd`, which is closed with the input when `take_ownership` is set.
input_opening open_input_descriptor(int fd, bool take_ownership, const input_options& options = {});
input_opening open_input_reader(raw_reader reader, const input_options& options = {});
// Reads `size` bytes at `data`, which must outlive the input.
input_opening open_input_memory(const uint8_t* data, size_t size,
                                const input_options& options = {});

// Copies the next bytes of the input to `destination`: `capacity` of them, or fewer only when
// the input ended or failed right after them; 0 once it has.
size_t read_input(input_stream& stream, uint8_t* destination, size_t capacity);

// Points *bytes at the next bytes of the input without copying them: as many as are ready, at
// most `capacity`, valid until the next call on the stream. Returns their count; 0 once the
// input has ended or failed.
size_t next_input_bytes(input_stream& stream, const uint8_t** bytes, size_t capacity);

// Whether the input failed, and why: the system's text for a read error, or a sentence on
// the compressed data ("damaged gzip data: invalid block type").
bool input_failed(const input_stream& stream);
const std::string& input_failure_reason(const input_stream& stream);
// Whether the input failed only after complete compressed streams, on data that follows them:
// every byte it delivered belongs to a whole stream.
bool input_failed_after_streams(const input_stream& stream);

compression_kind input_compression(const input_stream& stream);
// The descriptor the input is read from, for telling which file it is (its status); -1 for
// an input that is no descriptor. Not to be read from, nor used after the input is closed.
int input_descriptor(const input_stream& stream);
input_progress input_progress_of(const input_stream& stream);

}  // namespace asciify
