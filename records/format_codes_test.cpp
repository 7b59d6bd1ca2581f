#include "records/format_codes.h"

#include <gtest/gtest.h>

namespace asciify {
namespace {

TEST(FormatCodes, EachCodeGoesToItsHandler) {
  struct row {
    int first, last;
    record_kind kind;
  };
  const row rows[] = {
      {0, 0, record_kind::hardwired},  {1, 2, record_kind::line_specific},
      {3, 3, record_kind::text_line},  {4, 4, record_kind::format_reset},
      {5, 49, record_kind::hardwired}, {50, 255, record_kind::cached_format},
  };
  for (const row& r : rows) {
    for (int code = r.first; code <= r.last; ++code) {
      EXPECT_EQ(record_kind_for_code(static_cast<uint8_t>(code)), r.kind) << code;
    }
  }
}

TEST(FieldFormat, TakesTheByteApart) {
  struct row {
    uint8_t byte;
    field_type type;
    int32_t width;
    bool free_format_mark, open_ended;
  };
  const row rows[] = {
      {0x0A, field_type::int32, 10, false, false},  {0x2A, field_type::float32, 10, false, false},
      {0x54, field_type::int64, 20, false, false},  {0x70, field_type::float64, 16, false, false},
      {0x00, field_type::int32, 0, false, false},   {0x1F, field_type::int32, 31, true, false},
      {0x3F, field_type::float32, 31, true, false}, {0x5F, field_type::int64, 31, true, false},
      {0x7F, field_type::float64, 31, true, false}, {0x88, field_type::string, 8, false, false},
      {0xFF, field_type::string, 127, true, false}, {0x80, field_type::string, 0, false, true},
      {0xDF, field_type::string, 95, false, true},  {0x9F, field_type::string, 31, false, false},
      {0xBF, field_type::string, 63, false, false}, {0xA0, field_type::string, 32, false, false},
      {0xE0, field_type::string, 96, false, false}, {0xFE, field_type::string, 126, false, false},
  };
  for (const row& r : rows) {
    const field_format field = decompose_field_format(r.byte);
    EXPECT_EQ(field.type, r.type) << int{r.byte};
    EXPECT_EQ(field.width, r.width) << int{r.byte};
    EXPECT_EQ(field.free_format_mark, r.free_format_mark) << int{r.byte};
    EXPECT_EQ(field.open_ended, r.open_ended) << int{r.byte};
  }
}

TEST(FieldFormat, NumericSizes) {
  EXPECT_EQ(numeric_size(field_type::int32), 4);
  EXPECT_EQ(numeric_size(field_type::float32), 4);
  EXPECT_EQ(numeric_size(field_type::int64), 8);
  EXPECT_EQ(numeric_size(field_type::float64), 8);
  EXPECT_EQ(numeric_size(field_type::string), 0);
}

TEST(PackedFormat, NibbleTable) {
  const uint8_t expected[16] = {0x00, 0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};
  for (uint8_t nibble = 1; nibble < 16; ++nibble) {
    EXPECT_EQ(translate_nibble(nibble), expected[nibble]) << int{nibble};
    // A packed format can never ask for free format or an open-ended string.
    const field_format field = decompose_field_format(translate_nibble(nibble));
    EXPECT_FALSE(field.free_format_mark);
    EXPECT_FALSE(field.open_ended);
  }
}

}  // namespace
}  // namespace asciify
