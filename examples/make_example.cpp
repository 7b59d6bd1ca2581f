// Writes the bundled example input: a small model file whose bulk data are binary sections
// using every kind of record, in both byte orders, around ordinary text lines.
#include <fstream>
#include <iostream>

#include "tests/support/example_input.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_example OUTPUT\n";
    return 1;
  }
  const std::string bytes = asciify::test_support::example_input().bytes;
  std::ofstream out(argv[1], std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
