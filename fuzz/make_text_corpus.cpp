// Writes the seed corpus of the packer's fuzz target into the directory given as its argument:
// texts that the converter makes of the bundled example and of random valid inputs, and a few
// texts with the lines that packing must treat with care.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

int main(int argc, char** argv) {
  using namespace asciify::testing;
  if (argc != 2) {
    std::cerr << "usage: make_text_corpus DIRECTORY\n";
    return 1;
  }
  std::vector<std::string> seeds = {
      convert_in_memory(example_input().bytes).output,
      "$\n*TABLE, NAME=alpha\n*END_BINARY, 1\n       1       2       0       0\nno end",
      "a, 1, 2.5, -3.0E-7\r\n" + std::string(300, '9') + "\n",
      std::string("*SUSPEND_BINARY\0\n", 17),
  };
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    seeds.push_back(convert_in_memory(make_random_input(seed).bytes).output);
  }
  for (size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(std::string(argv[1]) + "/text" + std::to_string(i), std::ios::binary);
    out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
    if (!out) {
      std::cerr << "make_text_corpus: cannot write seed " << i << "\n";
      return 1;
    }
  }
  return 0;
}
