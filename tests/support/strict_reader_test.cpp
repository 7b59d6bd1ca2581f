#include "tests/support/strict_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

encoder section() {
  return encoder{}.line("text").start_binary();
}

TEST(StrictReader, FindsWhatAStrictConverterCannotRead) {
  encoder records = section().byte(10).i32(1).f32(2.5f).f32(0).f32(-1).define(60, {8, 0x8A});
  records.byte(60).i32(7).str("ab").suspend_binary().line("x");
  // Forty 8-byte integers in six columns each: a line of 240 characters, a record of 363 bytes.
  encoder long_record = section().lsf8(std::vector<uint8_t>(40, 0x46));
  for (int i = 0; i < 40; ++i) long_record.i64(i);
  // Thirteen strings of 20 columns: a line of 260 characters from a record of 14 bytes.
  const encoder wide_line =
      section().define(60, std::vector<uint8_t>(13, 0x94)).byte(60).raw(std::string(13, '\0'));
  struct row {
    const char* name;
    bytes_in packed;
    const char* fault;  // a part of the fault, "" when none
  } rows[] = {
      {"plain text", "a\nb\n", ""},
      {"records", records, ""},
      {"no end of line", "a\nb", "without end-of-line"},
      {"long line", std::string(256, 'x') + "\n", "longer than 256"},
      {"value too wide", section().lsf8({0x03}).i32(12345), "too wide"},
      {"NaN", section().lsf8({0x2A}).f32(NAN), "NaN"},
      {"largest double", section().lsf8({0x6A}).f64(1.7976931348623157e308), "as zero"},
      {"long record", long_record, "longer than 256 bytes"},
      {"wide line", wide_line, "longer than 255 characters"},
      {"closing marker as text", "*END_BINARY\n", "closing marker"},
  };
  for (const row& r : rows) {
    const std::string fault = strict_format_fault(r.packed.bytes);
    const bool expected = *r.fault ? fault.find(r.fault) != std::string::npos : fault.empty();
    EXPECT_TRUE(expected) << r.name << ": " << fault;
  }
}

}  // namespace
}  // namespace asciify::test_support
