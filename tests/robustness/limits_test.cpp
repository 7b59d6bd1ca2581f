// The largest records and lines that formats can describe convert in full; one step beyond a
// limit fails with a message instead of writing past a buffer.
#include <gtest/gtest.h>

#include <string>

#include "tests/robustness/run_checks.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

// A cached definition of `count` copies of one field format byte.
encoder& define_repeated(encoder& file, uint8_t code, uint8_t field, size_t count) {
  return file.byte(code).raw(std::string(count, static_cast<char>(field))).byte(0);
}

TEST(Limits, WidestFixedLineOfEmptyStrings) {
  // 255 strings of 126 columns, each given as an empty string: one zero byte each.
  encoder file = encoder{}.start_binary();
  define_repeated(file, 50, 0xFE, 255).byte(50).raw(std::string(255, '\0')).text_record("after");
  const conversion_capture run = convert_in_memory(file.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_EQ(run.output, std::string(255 * 126, ' ') + "\nafter\n");
}

TEST(Limits, WidestLineAfterAZeroFillMarker) {
  // A 30-column integer holding the marker, then 254 strings of 126 columns that read nothing.
  encoder file = encoder{}.start_binary();
  file.byte(51).byte(0x1E).raw(std::string(254, '\xFE')).byte(0).byte(51).marker4();
  const conversion_capture run = convert_in_memory(file.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_EQ(run.output, std::string(29, ' ') + "0" + std::string(254 * 126, ' ') + "\n");
}

TEST(Limits, WidestFreeFormatLineOfNumbers) {
  // 255 free-format 8-byte integers, all zero after the first, which holds the marker.
  encoder file = encoder{}.start_binary();
  define_repeated(file, 52, 0x5F, 255).byte(52).marker8();
  const conversion_capture run = convert_in_memory(file.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  std::string line = " 0";
  for (int i = 1; i < 255; ++i) line += ",0";
  EXPECT_EQ(run.output, line + "\n");
}

TEST(Limits, WidestNumbersInEveryType) {
  // The extreme values of every numeric type in free format and in 30 columns.
  encoder file = encoder{}.start_binary();
  file.define(53, {0x1F, 0x5F, 0x3F, 0x7F}).define(54, {0x1E, 0x5E, 0x3E, 0x7E});
  for (uint8_t code : {53, 54}) {
    file.byte(code)
        .i32(INT32_MIN + 1)
        .i64(INT64_MIN + 1)
        .f32(-3.4028235e38f)
        .f64(-1.7976931348623157e308);
    file.byte(code).i32(INT32_MAX).i64(INT64_MAX).f32(1.4e-45f).f64(4.9e-324);
  }
  const conversion_capture run = convert_in_memory(file.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_EQ(run.lines_written, 4);
  expect_clean_ending(run, file.bytes, "extreme numbers");
  EXPECT_NE(run.output.find("-2147483647"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("9223372036854775807"), std::string::npos) << run.output;
}

TEST(Limits, PackedFormatOfMostFields) {
  // 255 packed codes convert (the marker in the first field makes every field zero); 256 are
  // one field too many.
  encoder fits = encoder{}.start_binary();
  fits.byte(1).raw(std::string(127, '\x11') + "\x10").marker4();
  const conversion_capture run = convert_in_memory(fits.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  std::string zeros;
  for (int i = 0; i < 255; ++i) zeros += "       0";
  EXPECT_EQ(run.output, zeros + "\n");

  encoder too_many = encoder{}.start_binary();
  too_many.byte(1).raw(std::string(128, '\x11')).byte(0).marker4();
  const conversion_capture rejected = convert_in_memory(too_many.bytes);
  EXPECT_EQ(rejected.status, 2);
  EXPECT_EQ(rejected.output, "");
  EXPECT_EQ(rejected.messages, "Format has more than 255 fields in <process_lsf_line> at line 1\n" +
                                   failed_summary(0));
}

TEST(Limits, HardwiredLineWiderThanItsRecord) {
  // Code 31 writes its sixth field five times: ten strings padded to 126 columns make a line
  // of 1260 characters from a record of 255 bytes.
  encoder file = encoder{}.start_binary();
  file.fsf8(31, {0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE});
  for (char c : std::string("abcdef")) file.str(std::string(40, c));
  const conversion_capture run = convert_in_memory(file.bytes);
  EXPECT_EQ(run.status, 0) << run.messages;
  const auto field = [](char c) { return std::string(40, c) + std::string(86, ' '); };
  std::string line;
  for (char c : std::string("abcde")) line += field(c);
  for (int i = 0; i < 5; ++i) line += field('f');
  EXPECT_EQ(run.output, line + "\n");
}

TEST(Limits, RecordsOf256BytesConvertWhereverTheyFall) {
  // Records of exactly 256 bytes, shifted across the boundaries at which input is read.
  const std::string text(254, 't');        // code, 254 characters, zero byte
  const std::string open_ended(254, 'o');  // code, 254 characters, zero byte
  const std::string fixed(252, 'f');       // code, two 126-column formats, zero, characters
  const std::string expected = text + "\n" + open_ended + "\n" + fixed + "\n";
  for (size_t shift = 0; shift < 520; ++shift) {
    encoder file;
    file.line(std::string(shift, '.')).start_binary().define(60, {0x80});
    file.text_record(text).byte(60).str(open_ended).lsf8({0xFE, 0xFE}).chars(fixed);
    const conversion_capture run = convert_in_memory(file.bytes);
    ASSERT_EQ(run.status, 0) << "shift " << shift << "\n" << run.messages;
    ASSERT_EQ(run.output, std::string(shift, '.') + "\n" + expected) << "shift " << shift;
  }
}

}  // namespace
}  // namespace asciify::testing
