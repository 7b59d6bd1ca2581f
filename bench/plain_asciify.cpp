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
  const asciify::input_opening opening = asciify::open_input_file(argv[1]);
  if (opening.stream == nullptr) {
    std::fprintf(stderr, "plain_asciify: cannot open %s\n", argv[1]);
    return 1;
  }
  asciify::destination target;
  if (asciify::open_destination(argv[2], &target) != 0) {
    std::fprintf(stderr, "plain_asciify: cannot open %s\n", argv[2]);
    return 1;
  }
  // The buffer size of the command line.
  auto out = std::make_unique<asciify::output>();
  out->name = argv[2];
  asciify::open_output(*out, asciify::destination_sink(target), asciify::kOutputBufferSize, false,
                       false);
  auto state = std::make_unique<asciify::conversion_state>();
  const asciify::conversion_result result =
      asciify::convert_stream(*state, *out, *opening.stream, argv[1], nullptr);
  return asciify::finish_run(*out, result, asciify::close_destination(target));
}
