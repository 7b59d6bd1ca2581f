// Conversions of inputs read through the library's input layer: bytes in memory, and a source
// that fails part way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "input/input_stream.h"
#include "tests/support/convert_in_memory.h"

namespace asciify::test_support {

// An input reading the bytes of `input`, which must outlive it, on the calling thread.
input_handle memory_input(std::string_view input);

// A source that serves `bytes` and fails with EIO once it has served `fail_at` of them; its
// reader() goes to open_input_reader. It serves at most `piece` bytes a read, each after a
// stall of `pause_us` microseconds.
struct failing_source {
  std::string bytes;
  size_t fail_at;
  size_t piece = SIZE_MAX;
  int32_t pause_us = 0;
  size_t served = 0;
  raw_reader reader() { return {read, this}; }
  static raw_read read(void* context, uint8_t* buffer, size_t capacity);
};

// Converts `in`, read through the input layer, into `sink` as the command line does: convert,
// close, print the summary.
conversion_capture convert_into_sink(input_stream& in, memory_sink& sink, run_options options = {});

}  // namespace asciify::test_support
