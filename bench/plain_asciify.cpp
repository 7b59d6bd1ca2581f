// The plain converter, the yardstick of the whole-conversion benchmark: the same conversion on
// one thread, with real numbers printed step by step through snprintf, log10 and pow.
//
//   plain_asciify IN OUT
#include <cstdio>
#include <memory>

#include "driver/command_line.h"
#include "driver/conversion.h"
#include "output/destination.h"

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
  asciify::destination target;
  if (asciify::open_destination(argv[2], &target) != 0) {
    std::fclose(input);
    std::fprintf(stderr, "plain_asciify: cannot open %s\n", argv[2]);
    return 1;
  }
  // The buffer sizes of the command line.
  static char input_buffer[asciify::kInputBufferSize];
  std::setvbuf(input, input_buffer, _IOFBF, sizeof input_buffer);
  auto out = std::make_unique<asciify::output>();
  out->name = argv[2];
  asciify::open_output(*out, asciify::destination_sink(target), asciify::kOutputBufferSize, false,
                       false);
  auto state = std::make_unique<asciify::conversion_state>();
  const asciify::conversion_result result =
      asciify::convert_stream(*state, *out, input, argv[1], nullptr);
  std::fclose(input);
  return asciify::finish_run(*out, result, asciify::close_destination(target));
}
