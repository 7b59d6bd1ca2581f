// Writes the byte-order sample in both orders: make_byte_order_files DIR writes DIR/little.dat
// and DIR/big.dat. The committed files in tests/data/byte_orders come from here; the test that
// uses them also checks that this still gives the same bytes.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/byte_order_sample.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_byte_order_files DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  for (const auto& [name, endian] :
       {std::pair{"/little.dat", std::endian::little}, std::pair{"/big.dat", std::endian::big}}) {
    const std::string bytes = asciify::test_support::byte_order_sample(endian);
    std::ofstream out(dir + name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
      return 1;
    }
  }
  return 0;
}
