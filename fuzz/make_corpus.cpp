// Writes the seed corpus of the fuzz target into the directory given as its argument: the
// bundled example, random valid inputs with every kind of record, and a few special cases.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

int main(int argc, char** argv) {
  using namespace asciify::testing;
  if (argc != 2) {
    std::cerr << "usage: make_corpus DIRECTORY\n";
    return 1;
  }
  std::vector<std::string> seeds = {
      example_input().bytes,
      "alpha\r\nbeta\n\n*STAR LINE\nno end of line",
      "a\n" + std::string(1500, 'x') + "\n*START_BINAR\n",
      "",
      encoder{}.start_binary().byte(3).raw("*SUSPEND_BINARY").line("back").bytes,
      encoder{}.start_binary().define(72, {0x02, 0x22, 0x42, 0x62}).byte(72).i32(123456).bytes,
      encoder{}.start_binary().text_record("before").byte(7).bytes,
      encoder{}.line("*START_BINARY").line("  1  0  01 00 00 00").bytes,
  };
  for (uint32_t seed = 1; seed <= 40; ++seed) seeds.push_back(make_random_input(seed).bytes);
  for (size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(std::string(argv[1]) + "/seed" + std::to_string(i), std::ios::binary);
    out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
    if (!out) {
      std::cerr << "make_corpus: cannot write seed " << i << "\n";
      return 1;
    }
  }
  return 0;
}
