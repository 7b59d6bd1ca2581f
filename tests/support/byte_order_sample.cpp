#include "tests/support/byte_order_sample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/support/random_source.h"

namespace asciify::test_support {
namespace {

template <typename Real, typename Bits>
Real from_bits(Bits bits) {
  Real value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Whether a real is zero in one byte order and not in the other (negative zero, and the tiny
// value whose bytes are negative zero's reversed): the zero test sees the bytes as they stand
// in the file, so which text it gets depends on the machine.
template <typename Real>
bool zero_in_one_order_only(Real value) {
  unsigned char bytes[sizeof(Real)];
  std::memcpy(bytes, &value, sizeof bytes);
  std::reverse(bytes, bytes + sizeof bytes);
  Real swapped;
  std::memcpy(&swapped, bytes, sizeof bytes);
  return (value == 0) != (swapped == 0);
}

// 10^k, the same double on every system (pow is not).
double power_of_ten(int k) {
  char text[16];
  std::snprintf(text, sizeof text, "1e%d", k);
  return std::strtod(text, nullptr);
}

// Reals of every magnitude: powers of ten, the limits, random decimals and random bit patterns.
std::vector<double> sample_doubles(random_source& random) {
  using limits = std::numeric_limits<double>;
  std::vector<double> values = {0.0, 1.0, -1.0, 0.5, 1.0 / 3.0, 123456.789, -0.001};
  values.insert(values.end(), {limits::max(), -limits::max(), limits::min(), limits::denorm_min()});
  values.insert(values.end(), {limits::infinity(), -limits::infinity()});
  for (int k = -307; k <= 308; k += 3) values.push_back(power_of_ten(k) * (k % 2 ? -1 : 1));
  for (int i = 0; i < 300; ++i) {
    const int digits = 1 + static_cast<int>(random.below(15));
    const double mantissa = static_cast<double>(random.below(static_cast<uint64_t>(1e15)));
    values.push_back(random.sign() * mantissa *
                     power_of_ten(static_cast<int>(random.below(40)) - 20 - digits));
    const auto bits = from_bits<double>(random.next());
    if (!std::isnan(bits) && !zero_in_one_order_only(bits)) values.push_back(bits);
  }
  return values;
}

std::vector<float> sample_floats(random_source& random) {
  using limits = std::numeric_limits<float>;
  std::vector<float> values = {0.0f,  1.0f,    -2.5f,         0.1f,          3.14159265f,
                               1e-5f, 7850.0f, limits::max(), limits::min(), limits::denorm_min()};
  for (int k = -45; k <= 38; ++k) values.push_back(static_cast<float>(power_of_ten(k)));
  for (int i = 0; i < 300; ++i) {
    values.push_back(static_cast<float>(random.sign() * static_cast<double>(random.below(2000000)) /
                                        power_of_ten(static_cast<int>(random.below(9)))));
    const auto bits = from_bits<float>(static_cast<uint32_t>(random.next()));
    if (!std::isnan(bits) && !zero_in_one_order_only(bits)) values.push_back(bits);
  }
  return values;
}

// Integers of every length, both signs, the limits but not the zero-fill markers.
template <typename Integer>
std::vector<Integer> sample_integers(random_source& random) {
  std::vector<Integer> values = {0, 1, -1, std::numeric_limits<Integer>::max(),
                                 std::numeric_limits<Integer>::min() + 1};
  for (int i = 0; i < 200; ++i) {
    const auto bits = static_cast<Integer>(random.next());
    values.push_back(static_cast<Integer>(bits >> random.below(sizeof(Integer) * 8 - 1)));
  }
  return values;
}

}  // namespace

std::string byte_order_sample(std::endian endian) {
  random_source random{14};
  const std::vector<double> doubles = sample_doubles(random);
  const std::vector<float> floats = sample_floats(random);
  const std::vector<int32_t> ints = sample_integers<int32_t>(random);
  const std::vector<int64_t> longs = sample_integers<int64_t>(random);

  encoder file;
  file.line("*TABLE, NAME=alpha").start_binary(order_of(endian));
  // Every number kind in fixed columns of several widths and in free format.
  file.define(50, {0x7F}).define(51, {0x70, 0x74, 0x6A});
  for (const double x : doubles) file.byte(50).f64(x).byte(51).f64(x).f64(x).f64(x);
  file.define(52, {0x3F}).define(53, {0x2A, 0x30, 0x28});
  for (const float x : floats) file.byte(52).f32(x).byte(53).f32(x).f32(x).f32(x);
  file.define(54, {0x1F}).define(55, {0x0C, 0x08, 0x14});
  for (const int32_t v : ints) file.byte(54).i32(v).byte(55).i32(v).i32(v).i32(v);
  file.define(56, {0x5F}).define(57, {0x54, 0x50, 0x4C});
  for (const int64_t v : longs) file.byte(56).i64(v).byte(57).i64(v).i64(v).i64(v);
  // Zero fill after a marker, strings, line-specific formats, hard-wired layouts.
  file.text_record("*ROWS, NAME=beta");
  file.define(58, {0x88, 0x0A, 0x2A, 0x50, 0x70});
  file.byte(58).str("row").i32(7).marker4().byte(58).chars("eightchr").i32(8).f32(0.25f).marker8();
  file.lsf4({2, 6, 11, 13}).i32(3).f32(-0.05f).f64(1.0 / 7.0).chars("PLASTIC").byte(0);
  file.lsf8({0x80, 0x1F, 0x54}).str("step").i32(2).i64(-9000000000LL);
  // Codes 11 to 17 and the integers each takes.
  const int integers_of[] = {6, 4, 8, 6, 8, 5, 8};
  for (int id = 1; id <= 21; ++id) {
    file.byte(10).i32(id).f32(0.25f * id).f32(-1.5f * id + 0.125f).f32(100.0f / id);
    file.byte(static_cast<uint8_t>(11 + id % 7));
    for (int i = 0; i < integers_of[id % 7]; ++i) file.i32(id * 10 + i);
  }
  file.byte(15).i32(8).i32(4).marker4();
  file.fsf4(36, {2, 2, 2, 9, 9}).i32s({11, 12, 13}).f64(0.5).f64(1.0e-12);
  file.fsf8(33, {0x88, 8, 8, 8, 8, 8, 0x0A, 0x0A}).str("SHELL").i32s({1, 2, 3, 4, 5, 6, 7});
  file.define(60, {0x0A, 0x74, 0x74, 0x74});
  file.byte(30).byte(60).i32(7).f64(1.0 / 3.0).f64(-2.0e-7).f64(12345.678901);
  file.end_binary().line("*END, NAME=gamma");
  return file.bytes;
}

}  // namespace asciify::test_support
