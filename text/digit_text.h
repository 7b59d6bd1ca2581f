// Small helpers of the field writers and the real-number text: decimal digits of an integer
// and short copies and fills (a field is at most 32 bytes) without library calls. The ones
// called for every field are always inlined: a link-time optimizer would otherwise leave some
// of them as calls.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace asciify::digit_text {

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of v, at least `minimum` of them (leading zeros), so that they
// end just before `end`. Returns the first digit written.
inline char* write_digits_backwards(uint64_t v, int32_t minimum, char* end) {
  char* p = end;
  while (v >= 100) {
    const auto pair = static_cast<size_t>(v % 100) * 2;
    v /= 100;
    p -= 2;
    std::memcpy(p, kDigitPairs + pair, 2);
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, kDigitPairs + static_cast<size_t>(v) * 2, 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  while (end - p < minimum) *--p = '0';
  return p;
}

// Writes exactly `count` decimal digits of v (the lowest ones, leading zeros included) so
// that they end just before `end`. Returns the first digit written.
inline char* write_fixed_digits_backwards(uint64_t v, int32_t count, char* end) {
  char* p = end;
  for (; count >= 2; count -= 2) {
    const auto pair = static_cast<size_t>(v % 100) * 2;
    v /= 100;
    p -= 2;
    std::memcpy(p, kDigitPairs + pair, 2);
  }
  if (count == 1) *--p = static_cast<char>('0' + v % 10);
  return p;
}

// Whether eight_digits can be used: its word holds the first digit in its lowest byte.
inline constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The eight decimal digits of v (below 10^8), leading zeros included, as ASCII characters in
// one word whose lowest byte is the first digit: on a little-endian machine, the memory image
// of the text. The value is split in lanes of the word, halving the digits per lane at each
// step: two 4-digit numbers in 32-bit lanes, four 2-digit ones in 16-bit lanes, then eight
// digits in bytes. Each quotient is a multiplication and a shift, exact in its range
// (n * 10486 >> 20 is n / 100 for n below 10^4, n * 103 >> 10 is n / 10 below 100), and no
// lane's product reaches into the bits kept of another.
[[gnu::always_inline]] inline uint64_t eight_digits(uint32_t v) {
  uint64_t x = (v / 10000) | (static_cast<uint64_t>(v % 10000) << 32);
  const uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;
  x = hundreds | ((x - hundreds * 100) << 16);
  const uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Full;
  x = tens | ((x - tens * 10) << 8);
  return x + 0x3030303030303030ull;
}

// Number of leading '0' characters of a word from eight_digits, at most 7 (the last digit
// always stays).
[[gnu::always_inline]] inline int32_t leading_zero_digits(uint64_t word) {
  const uint64_t digits = word - 0x3030303030303030ull;
  // A bit set in the last byte stops the count at 7.
  return std::countr_zero(digits | (uint64_t{1} << 56)) / 8;
}

// The word with its first n characters (n at most 7) replaced by c.
[[gnu::always_inline]] inline uint64_t replace_leading(uint64_t word, int32_t n, char c) {
  const uint64_t mask = (uint64_t{1} << (8 * n)) - 1;
  return (word & ~mask) | ((0x0101010101010101ull * static_cast<unsigned char>(c)) & mask);
}

// Copies n bytes (a longer copy goes to memcpy), with a few possibly overlapping fixed-size moves.
// The ranges must not overlap.
[[gnu::always_inline]] inline void copy_short(char* destination, const char* source, size_t n) {
  if (n > 32) {
    std::memcpy(destination, source, n);
  } else if (n >= 16) {
    std::memcpy(destination, source, 16);
    std::memcpy(destination + n - 16, source + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(destination, source, 8);
    std::memcpy(destination + n - 8, source + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(destination, source, 4);
    std::memcpy(destination + n - 4, source + n - 4, 4);
  } else if (n >= 2) {
    // Fixed-size moves, which the compiler does not turn into a library call as it does a loop.
    std::memcpy(destination, source, 2);
    std::memcpy(destination + n - 2, source + n - 2, 2);
  } else if (n == 1) {
    destination[0] = source[0];
  }
}

// Sets n bytes to c; up to 32 with a few fixed-size stores.
[[gnu::always_inline]] inline void fill_short(char* destination, char c, size_t n) {
  if (n > 32) {
    std::memset(destination, c, n);
    return;
  }
  char pattern[32];
  std::memset(pattern, c, sizeof pattern);
  copy_short(destination, pattern, n);
}

}  // namespace asciify::digit_text
