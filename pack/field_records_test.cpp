#include "pack/field_records.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace asciify {
namespace {

// Values right-aligned in columns of `width`.
std::string columns(const std::vector<std::string>& values, size_t width = 8) {
  std::string line;
  for (const std::string& v : values) line += std::string(width - v.size(), ' ') + v;
  return line;
}

line_fields fields_of(const std::string& line) {
  line_fields f;
  EXPECT_TRUE(split_fields(reinterpret_cast<const uint8_t*>(line.data()),
                           static_cast<int32_t>(line.size()),
                           make_number_order(native_byte_order()), &f))
      << line;
  return f;
}

// Lines of each hard-wired layout take it (with the default formats when they are the line's),
// and a line that ends in zeros puts the marker in the first source field that is zero.
TEST(FieldRecords, HardwiredLayoutsWhereTheyFit) {
  struct row {
    std::string line;
    record_form form;
    int32_t layout, sources_written;
    bool marker = false;
  } rows[] = {
      {columns({"1"}) + columns({"0.25", "-1.375", "100.0"}, 16) + columns({"0", "0"}),
       record_form::hardwired, 0, 4},
      {columns({"7"}, 10) + columns({"0.333333333333333", "-2.0E-7", "1.5"}, 20) +
           columns({"0", "0"}, 10),
       record_form::hardwired_long, 0, 4},
      // clang-format off
      {columns({"1", "2", "3", "4", "5", "6", "6", "6", "6", "6"}), record_form::hardwired, 1, 6},
      {columns({"1", "2", "3", "4", "4", "4", "4", "4", "0", "0"}), record_form::hardwired, 2, 4},
      {columns({"1", "2", "3", "4", "5", "6", "7", "7", "8", "8"}), record_form::hardwired, 3, 8},
      {columns({"1", "2", "3", "4", "5", "5", "6", "6", "0", "0"}), record_form::hardwired, 4, 6},
      {columns({"8", "4", "0", "0", "0", "0", "0", "0", "0", "0"}), record_form::hardwired, 1, 3, true},
      {columns({"1", "2", "3", "4", "5", "5"}), record_form::hardwired, 6, 5},
      {columns({"1", "2", "3", "4", "5", "5", "6", "7", "8", "8"}), record_form::hardwired, 7, 8},
      // clang-format on
  };
  format_cache cache;
  clear_format_cache(cache);
  for (const row& r : rows) {
    const record_plan plan = plan_fields_record(cache, fields_of(r.line));
    EXPECT_EQ(std::tuple(plan.form, plan.layout, plan.sources_written, plan.source_marker),
              std::tuple(r.form, r.layout, r.sources_written, r.marker))
        << r.line;
  }
}

// A line-specific record of plain field format bytes is planned up to 256 bytes and no further:
// a string, then numbers of 4 data bytes for 2 characters.
TEST(FieldRecords, PlainLineSpecificRecordsUpTo256Bytes) {
  for (const size_t chars : {103, 104}) {
    std::string line(chars, 'a');
    for (int n = 0; n < 30; ++n) line += " 5";
    format_cache cache;
    clear_format_cache(cache);
    const record_plan plan = plan_fields_record(cache, fields_of(line));
    EXPECT_EQ(plan.form == record_form::lsf8, chars == 103) << chars;  // 2 + 31 + chars + 120
  }
}

}  // namespace
}  // namespace asciify
