// The plain converter, the yardstick of the whole-conversion benchmark: the same conversion on
// one thread, with real numbers printed step by step through snprintf, log10 and pow.
//
//   plain_asciify IN OUT
#include <cstdio>
#include <memory>

#include "driver/command_line.h"
#include "driver/conversion.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: plain_asciify IN OUT\n");
    return 1;
  }
  FILE* input = std::fopen(argv[1], "rb");
  if (input == nullptr) {
    std::fprintf(stderr, "plain_asciify: cannot open %s\n", argv[1]);
    return 1;
  }
  FILE* output = std::fopen(argv[2], "wb");
  if (output == nullptr) {
    std::fclose(input);
    std::fprintf(stderr, "plain_asciify: cannot open %s\n", argv[2]);
    return 1;
  }
  // The stream buffers of the command line.
  static char input_buffer[asciify::kInputBufferSize];
  static char output_buffer[asciify::kOutputBufferSize];
  std::setvbuf(input, input_buffer, _IOFBF, sizeof input_buffer);
  std::setvbuf(output, output_buffer, _IOFBF, sizeof output_buffer);
  auto state = std::make_unique<asciify::conversion_state>();
  const asciify::conversion_result result =
      asciify::convert_stream(*state, input, output, argv[1], nullptr);
  std::fclose(input);
  const bool output_ok = std::fclose(output) == 0;
  return asciify::finish_run(*state, result, output_ok, argv[2]);
}
