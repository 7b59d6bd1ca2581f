// Writes a seed corpus into the directory given as its last argument. For the conversion's
// target: the bundled example, random valid inputs with every kind of record, and a few special
// cases. With --text, for the packer's target: the texts that the converter makes of the
// example and of random valid inputs, and a few texts with the lines that packing must treat
// with care.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

int main(int argc, char** argv) {
  using namespace asciify::test_support;
  const bool text = argc == 3 && std::strcmp(argv[1], "--text") == 0;
  if (argc != 2 && !text) {
    std::cerr << "usage: make_corpus [--text] DIRECTORY\n";
    return 1;
  }
  // The example and random valid inputs, as they stand or as the texts converted from them.
  std::vector<std::string> seeds = {example_input().bytes};
  for (uint32_t seed = 1; seed <= 40; ++seed) seeds.push_back(make_random_input(seed).bytes);
  if (text) {
    for (std::string& seed : seeds) seed = convert_in_memory(seed).output;
    seeds.insert(seeds.end(),
                 {"$\n*TABLE, NAME=alpha\n*END_BINARY, 1\n       1       2       0       0\nno end",
                  "a, 1, 2.5, -3.0E-7\r\n" + std::string(300, '9') + "\n",
                  std::string("*SUSPEND_BINARY\0\n", 17)});
  } else {
    seeds.insert(
        seeds.end(),
        {"alpha\r\nbeta\n\n*STAR LINE\nno end of line",
         "a\n" + std::string(1500, 'x') + "\n*START_BINAR\n", "",
         encoder{}.start_binary().byte(3).raw("*SUSPEND_BINARY").line("back").bytes,
         encoder{}.start_binary().define(72, {0x02, 0x22, 0x42, 0x62}).byte(72).i32(123456).bytes,
         encoder{}.start_binary().text_record("before").byte(7).bytes,
         encoder{}.line("*START_BINARY").line("  1  0  01 00 00 00").bytes});
  }
  const std::string prefix = std::string(argv[argc - 1]) + (text ? "/text" : "/seed");
  for (size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(prefix + std::to_string(i), std::ios::binary);
    if (!out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()))) {
      std::cerr << "make_corpus: cannot write seed " << i << "\n";
      return 1;
    }
  }
  return 0;
}
