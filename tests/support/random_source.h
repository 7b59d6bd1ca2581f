// A small seeded random generator (splitmix64) whose sequence is the same on every platform and
// library version, so that generated test inputs and benchmark files never change.
#pragma once

#include <cstdint>

namespace asciify::test_support {

struct random_source {
  uint64_t state;

  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return next() % n; }
  // Uniform in [low, high].
  int64_t between(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(below(static_cast<uint64_t>(high - low + 1)));
  }
  bool percent(int chance) { return between(0, 99) < chance; }
  double sign() { return (next() & 1) != 0 ? -1.0 : 1.0; }
};

}  // namespace asciify::test_support
