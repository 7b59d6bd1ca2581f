// The few operating-system calls of the input layer, kept together so that another system can
// supply its own (wide-character names, its own binary mode) without touching the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace asciify {

// What a read call gave: `size` bytes, none at the end of the input, or the system's error
// number in `error` (0 when the read succeeded).
struct raw_read {
  size_t size = 0;
  int error = 0;
};

// An opened descriptor, or the system's error number of the failed open.
struct descriptor_opening {
  int fd = -1;
  int error = 0;
};

// What the system tells about an open descriptor.
struct descriptor_status {
  int error = 0;  // the status could not be had: the system's error number
  bool directory = false;
  bool regular = false;
  int64_t size = -1;  // bytes, for a regular file
};

// Opens `name` for reading in binary mode, not inherited by child processes.
descriptor_opening open_for_reading(const char* name);

// The descriptor of standard input, switched to binary mode where the system has one.
int standard_input_descriptor();

descriptor_status describe_descriptor(int fd);

// Reads up to `capacity` bytes; an interrupted call is repeated.
raw_read read_descriptor(int fd, uint8_t* buffer, size_t capacity);

void close_descriptor(int fd);

// The system's text for an error number, e.g. "No such file or directory".
std::string system_error_text(int error);

}  // namespace asciify
