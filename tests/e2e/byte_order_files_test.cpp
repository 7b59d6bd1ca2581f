// One set of files, the same sample written in each byte order, converts to the same committed
// text on every machine: x86-64, s390x (big-endian), aarch64 and Windows. The cases whose text
// depends on the machine by design are tested apart, each expecting this machine's answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/support/byte_order_sample.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

const std::string kData = ASCIIFY_SOURCE_DIR "/tests/data/byte_orders/";
constexpr bool kBigEndian = std::endian::native == std::endian::big;

TEST(ByteOrderFiles, BothOrdersGiveTheCommittedTextOnEveryMachine) {
  const std::string expected = read_file(kData + "expected.txt");
  ASSERT_FALSE(expected.empty());
  for (const auto& [name, endian] :
       {std::pair{"little.dat", std::endian::little}, std::pair{"big.dat", std::endian::big}}) {
    // The committed file is what the generator gives here, byte for byte.
    EXPECT_TRUE(read_file(kData + name) == byte_order_sample(endian))
        << name << " differs from the generated sample (tests/data/make_byte_order_files)";
    scratch_dir dir;
    const command_result result = run_command({kData + name, dir.file("out.txt")});
    EXPECT_EQ(result.status, 0) << name;
    EXPECT_TRUE(read_file(dir.file("out.txt")) == expected) << name << " converts differently";
    const long long lines = std::count(expected.begin(), expected.end(), '\n');
    const std::string note = endian == std::endian::native ? "" : kSwappedNote;
    EXPECT_EQ(result.out, note + finished_summary(lines)) << name;
    EXPECT_EQ(result.err, wide_value_warning(8, 3033)) << name;
  }
}

// The zero test of the real writers looks at the bytes as they stand in the file, before the
// byte swap: the 4-byte real 2^-142, whose bytes reversed are negative zero's, is written as
// itself in a file of this machine's order and as zero in a file of the other, so the
// little-endian file gives one text on x86-64 and aarch64 and the other on s390x. (Negative
// zero gives zero either way; so does the 8-byte counterpart, being subnormal.)
TEST(ByteOrderFiles, ZeroTestBeforeTheSwapDependsOnTheMachine) {
  for (const std::endian endian : {std::endian::little, std::endian::big}) {
    encoder file = encoder{}.start_binary(order_of(endian)).define(50, {0x2C, 0x2C, 0x70});
    file.byte(50).f32(std::ldexp(1.0f, -142)).f32(-0.0f).f64(std::ldexp(1.0, -1067));
    const std::string expected = endian == std::endian::native
                                     ? "1.793662E-43         0.0             0.0\n"
                                     : "         0.0         0.0             0.0\n";
    EXPECT_EQ(convert_in_memory(file.bytes).output, expected)
        << (endian == std::endian::little ? "little" : "big") << "-endian file on a "
        << (kBigEndian ? "big" : "little") << "-endian machine";
  }
}

// Before any section header the zero-fill markers are this machine's. The same bytes, four
// integers that read alike in both orders and the little-endian 4-byte marker, end in zero
// fill on a little-endian machine and in the number 128 on a big-endian one.
TEST(ByteOrderFiles, MarkersBeforeAnyHeaderAreThisMachines) {
  encoder file;
  file.resume_binary().byte(16);
  for (const char n : {1, 2, 3, 4}) file.raw(std::string{'\0', n, n, '\0'});  // 65792 * n
  file.raw(std::string("\0\0\0\x80", 4));
  const std::string expected = kBigEndian ? "   65792  131584  197376  263168     128     128\n"
                                          : "   65792  131584  197376  263168       0       0\n";
  EXPECT_EQ(convert_in_memory(file.bytes).output, expected);
}

}  // namespace
}  // namespace asciify::test_support
