// Each field format byte taken apart: type, width, free-format mark and open-ended strings.
#include "text/field_format.h"

#include <gtest/gtest.h>

namespace asciify {
namespace {

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

}  // namespace
}  // namespace asciify
