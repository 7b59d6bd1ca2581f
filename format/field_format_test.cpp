// Each field format byte taken apart: type, width, free-format mark and open-ended strings.
#include "format/field_format.h"

#include <gtest/gtest.h>

#include <tuple>

namespace asciify {
namespace {

TEST(FieldFormat, TakesTheByteApart) {
  using enum field_type;
  const struct {
    uint8_t byte;
    field_type type;
    int32_t width;
    bool free_format_mark, open_ended;  // 0 or 1
  } rows[] = {
      // clang-format off
      {0x0A, int32, 10, 0, 0}, {0x2A, float32, 10, 0, 0}, {0x54, int64, 20, 0, 0},
      {0x70, float64, 16, 0, 0}, {0x00, int32, 0, 0, 0}, {0x1F, int32, 31, 1, 0},
      {0x3F, float32, 31, 1, 0}, {0x5F, int64, 31, 1, 0}, {0x7F, float64, 31, 1, 0},
      {0x88, string, 8, 0, 0}, {0xFF, string, 127, 1, 0}, {0x80, string, 0, 0, 1},
      {0xDF, string, 95, 0, 1}, {0x9F, string, 31, 0, 0}, {0xBF, string, 63, 0, 0},
      {0xA0, string, 32, 0, 0}, {0xE0, string, 96, 0, 0}, {0xFE, string, 126, 0, 0},
      // clang-format on
  };
  for (const auto& r : rows) {
    const field_format field = decompose_field_format(r.byte);
    EXPECT_EQ(std::tuple(field.type, field.width, field.free_format_mark, field.open_ended),
              std::tuple(r.type, r.width, r.free_format_mark, r.open_ended))
        << int{r.byte};
  }
}

}  // namespace
}  // namespace asciify
