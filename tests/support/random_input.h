// Valid inputs generated from a seed, with every kind of record in random formats and byte
// orders, each record followed by a numbered text line ("#0", "#1", ...): the round-trip test
// and the fuzzing corpus are made of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace asciify::test_support {

struct random_input {
  std::string bytes;
  std::vector<int64_t> numbered_lines;  // output line (from 0) of each numbered text line
  int64_t lines = 0;                    // lines the conversion writes
};

random_input make_random_input(uint32_t seed);

}  // namespace asciify::test_support
