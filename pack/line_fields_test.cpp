#include "pack/line_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace asciify {
namespace {

// How lines are taken apart: the field format bytes chosen, or none when no record carries
// the line.
TEST(SplitFields, FieldsOfEachKindOfLine) {
  struct row {
    std::string line;
    std::vector<uint8_t> formats;
    bool free = false;
  } rows[] = {
      {"       1            0.25          -1.375           100.0       0       0",
       {0x08, 0x30, 0x30, 0x30, 0x08, 0x08}},
      // A number that fills its columns is glued to the one before it.
      {"        79-4.5164299         -736.895466GAMMA     ", {0x0A, 0x2A, 0x74, 0x8A}},
      // Names take the padding that gives the numbers after them the line's usual width.
      {"ALPHA       120000.0       0.4         1", {0x8A, 0x2A, 0x2A, 0x0A}},
      {"       483BETA        135001.0     0.191 8.5596E-8         0",
       {0x0A, 0x8A, 0x2A, 0x2A, 0x2A, 0x0A}},
      {"alpha, beta, 4321, 1.25E-9, 125.0", {0xFF, 0x1F, 0x3F, 0x3F}, true},
      {"step, 2, -9000000000", {0xFF, 0x1F, 0x5F}, true},
      {"       0\r", {0x08, 0x81}},
      {"*TABLE, NAME=alpha", {0x92}},
      {"", {}},
      {"a" + std::string(200, ' ') + "b", {0xFE, 0xCC}},  // strings of at most 126 columns
      {std::string(40, ' ') + "5", {0x8B, 0x1E}},         // numbers of at most 30
  };
  const number_order numbers = make_number_order(native_byte_order());
  line_fields f;
  for (const row& r : rows) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(r.line.data());
    ASSERT_TRUE(split_fields(bytes, static_cast<int32_t>(r.line.size()), numbers, &f)) << r.line;
    EXPECT_EQ(std::vector<uint8_t>(f.formats, f.formats + f.count), r.formats) << r.line;
    EXPECT_EQ(f.free_format, r.free) << r.line;
  }
  const std::string too_long(256, 'x');
  EXPECT_FALSE(split_fields(reinterpret_cast<const uint8_t*>(too_long.data()), 256, numbers, &f));
}

}  // namespace
}  // namespace asciify
