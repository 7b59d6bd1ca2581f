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

// Forty 8-byte integers in six columns each: a line of 240 characters, a record of 363 bytes.
encoder long_record() {
  encoder e = section().lsf8(std::vector<uint8_t>(40, 0x46));
  for (int i = 0; i < 40; ++i) e.i64(i);
  return e;
}

TEST(StrictReader, FindsWhatAStrictConverterCannotRead) {
  struct row {
    const char* name;
    bytes_in packed;
    const char* fault;  // a part of the fault, "" when none
  } rows[] = {
      {"plain text", "a\nb\n", ""},
      {"records",
       section()
           .byte(10)
           .i32(1)
           .f32(2.5f)
           .f32(0)
           .f32(-1)
           .define(60, {8, 0x8A})
           .byte(60)
           .i32(7)
           .str("ab")
           .suspend_binary()
           .line("x"),
       ""},
      {"no end of line", "a\nb", "without end-of-line"},
      {"long line", std::string(256, 'x') + "\n", "longer than 256"},
      {"value too wide", section().lsf8({0x03}).i32(12345), "too wide"},
      {"NaN", section().lsf8({0x2A}).f32(NAN), "NaN"},
      {"largest double", section().lsf8({0x6A}).f64(1.7976931348623157e308), "as zero"},
      {"long record", long_record(), "longer than 256 bytes"},
      {"wide line",
       section()
           .define(60,
                   {0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94, 0x94})
           .byte(60)
           .raw(std::string(13, '\0')),
       "longer than 255 characters"},
      {"closing marker as text", "*END_BINARY\n", "closing marker"},
  };
  for (const row& r : rows) {
    const std::string fault = strict_format_fault(r.packed.bytes);
    if (std::string(r.fault).empty()) {
      EXPECT_EQ(fault, "") << r.name;
    } else {
      EXPECT_NE(fault.find(r.fault), std::string::npos) << r.name << ": " << fault;
    }
  }
}

}  // namespace
}  // namespace asciify::test_support
