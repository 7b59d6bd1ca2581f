// One input written in either byte order, for the test that every machine converts both files
// to the same text: numbers of every kind and magnitude in every kind of record. It leaves out
// what depends on the machine by design: reals whose bytes read as zero in the other order
// (the zero test precedes the byte swap) and records before any section header.
#pragma once

#include <bit>
#include <string>

#include "tests/support/encoder.h"

namespace asciify::test_support {

// The order of the numbers of a file written on a machine of byte order `endian`.
inline order order_of(std::endian endian) {
  return endian == std::endian::native ? order::native : order::reversed;
}

// The sample, its numbers in the byte order `endian`.
std::string byte_order_sample(std::endian endian);

}  // namespace asciify::test_support
