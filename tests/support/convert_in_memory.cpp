#include "tests/support/convert_in_memory.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "driver/conversion.h"

namespace asciify::testing {
namespace {

// A stream that collects what is written to it in memory.
struct memory_stream {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);

  std::string close() {
    std::fclose(file);
    std::string text(data, size);
    std::free(data);
    return text;
  }
};

}  // namespace

conversion_capture convert_in_memory(std::string_view input) {
  // An empty input is read from /dev/null, as a memory stream cannot be empty.
  FILE* in = input.empty() ? std::fopen("/dev/null", "rb")
                           : fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  memory_stream output, messages, info;
  auto state = std::make_unique<conversion_state>();
  state->messages = messages.file;
  state->info = info.file;

  const conversion_result result = convert_stream(*state, in, output.file, "input");
  std::fclose(in);
  const bool output_ok = std::fflush(output.file) == 0;

  conversion_capture capture;
  capture.status = finish_run(*state, result, output_ok, "output");
  capture.lines_written = result.lines_written;
  capture.output = output.close();
  capture.messages = messages.close();
  capture.info = info.close();
  return capture;
}

}  // namespace asciify::testing
