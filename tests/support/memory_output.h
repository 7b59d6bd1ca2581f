// An output of the library's output layer collecting lines and messages in memory, for the
// unit tests that call the record handlers, the marker check or the line writer directly.
#pragma once

#include <memory>
#include <string>

#include "output/output.h"
#include "tests/support/convert_in_memory.h"

namespace asciify::test_support {

// An output collecting lines and messages in memory, for handlers called directly.
struct memory_output {
  memory_sink sink;
  message_capture captured;
  std::unique_ptr<output> out;
  memory_output();
  // What was written so far (the buffered lines are written first).
  std::string text();
};

}  // namespace asciify::test_support
