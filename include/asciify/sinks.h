// Where the converter and the packer put what they make: the bytes of their output, and the
// messages of a run, each through a pair of plain callbacks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace asciify {

// The destination of output bytes.
struct byte_sink {
  // Takes up to `size` bytes and returns how many it took, which may be fewer; when it takes
  // none it sets *error to the system's error number (ENOSPC, EPIPE, ...).
  size_t (*write)(void* context, const char* data, size_t size, int* error) = nullptr;
  // Removes the last `count` bytes taken, where the destination allows it (a regular file), and
  // returns whether it did. May be null: nothing can be removed.
  bool (*cut)(void* context, int64_t count) = nullptr;
  // Called once, after the last write: closes the destination. Returns 0 or the system's error
  // number. May be null.
  int (*close)(void* context) = nullptr;
  void* context = nullptr;
};

// What a message is: an error or warning (standard error, for a command), or an informational
// note (standard output): the byte-order note and the summary of a finished run.
enum class message_kind { error, note };

// The destination of messages: one call per message, a line ending in its newline.
struct message_sink {
  void (*write)(void* context, message_kind kind, const char* text, size_t size) = nullptr;
  void* context = nullptr;
};

}  // namespace asciify
