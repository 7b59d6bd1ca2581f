#include "driver/command_line.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "driver/conversion.h"

namespace asciify {
namespace {

// A large output buffer keeps writes few when the output is a regular file; other outputs
// (devices, pipes) keep the stream's own buffering.
constexpr size_t kOutputBufferSize = 1 << 18;

void buffer_generously(FILE* output) {
  struct stat status;
  if (fstat(fileno(output), &status) == 0 && S_ISREG(status.st_mode)) {
    std::setvbuf(output, nullptr, _IOFBF, kOutputBufferSize);
  }
}

}  // namespace

int run_command_line(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Format is <input binary filename> <output ascii filename>\n");
    return 1;
  }
  const char* input_name = argv[1];
  const char* output_name = argv[2];
  FILE* input = std::fopen(input_name, "rb");
  if (input == nullptr) {
    std::fprintf(stderr, "Couldn't open input binary file %s for reading.\n", input_name);
    return 1;
  }
  FILE* output = std::fopen(output_name, "wb");
  if (output == nullptr) {
    std::fclose(input);
    std::fprintf(stderr, "Couldn't open output ascii file %s for writing.\n", output_name);
    return 1;
  }
  buffer_generously(output);

  auto state = std::make_unique<conversion_state>();
  const conversion_result result = convert_stream(*state, input, output, input_name);
  std::fclose(input);
  const bool written = std::ferror(output) == 0;
  const bool output_ok = std::fclose(output) == 0 && written;
  return finish_run(*state, result, output_ok, output_name);
}

}  // namespace asciify
