#include "tests/support/memory_output.h"

namespace asciify::test_support {

memory_output::memory_output() : out(std::make_unique<output>()) {
  out->messages = captured.sink();
  open_output(*out, sink_into(sink), 1 << 16, false, false);
}

std::string memory_output::text() {
  flush_output(out->file);
  return sink.bytes;
}

}  // namespace asciify::test_support
