#include "records/format_codes.h"

#include <gtest/gtest.h>

namespace asciify {
namespace {

TEST(FormatCodes, EachCodeGoesToItsHandler) {
  for (int code = 0; code <= 255; ++code) {
    const record_kind expected = code == 3                ? record_kind::text_line
                                 : code == 4              ? record_kind::format_reset
                                 : code >= 50             ? record_kind::cached_format
                                 : code == 1 || code == 2 ? record_kind::line_specific
                                                          : record_kind::hardwired;
    EXPECT_EQ(record_kind_for_code(static_cast<uint8_t>(code)), expected) << code;
  }
}

TEST(FieldFormat, TakesTheByteApart) {
  using enum field_type;
  const struct {
    uint8_t byte;
    field_type type;
    int32_t width;
    bool free_format_mark, open_ended;
  } rows[] = {
      {0x0A, int32, 10, false, false},  {0x2A, float32, 10, false, false},
      {0x54, int64, 20, false, false},  {0x70, float64, 16, false, false},
      {0x00, int32, 0, false, false},   {0x1F, int32, 31, true, false},
      {0x3F, float32, 31, true, false}, {0x5F, int64, 31, true, false},
      {0x7F, float64, 31, true, false}, {0x88, string, 8, false, false},
      {0xFF, string, 127, true, false}, {0x80, string, 0, false, true},
      {0xDF, string, 95, false, true},  {0x9F, string, 31, false, false},
      {0xBF, string, 63, false, false}, {0xA0, string, 32, false, false},
      {0xE0, string, 96, false, false}, {0xFE, string, 126, false, false},
  };
  for (const auto& r : rows) {
    const field_format field = decompose_field_format(r.byte);
    EXPECT_EQ(field.type, r.type) << int{r.byte};
    EXPECT_EQ(field.width, r.width) << int{r.byte};
    EXPECT_EQ(field.free_format_mark, r.free_format_mark) << int{r.byte};
    EXPECT_EQ(field.open_ended, r.open_ended) << int{r.byte};
  }
}

TEST(PackedFormat, NibbleTable) {
  const uint8_t expected[16] = {0x00, 0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};
  for (uint8_t nibble = 1; nibble < 16; ++nibble) {
    EXPECT_EQ(translate_nibble(nibble), expected[nibble]) << int{nibble};
  }
}

}  // namespace
}  // namespace asciify
