#include "pack/field_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace binify {
namespace {

const number_order kNative = make_number_order(native_byte_order());

std::string col(const std::string& text, size_t width) {
  return std::string(width - text.size(), ' ') + text;
}

// Values right-aligned in columns of `width`.
std::string columns(const std::vector<std::string>& values, size_t width) {
  std::string line;
  for (const std::string& v : values) line += col(v, width);
  return line;
}

line_fields fields_of(const std::string& line) {
  line_fields f;
  EXPECT_TRUE(split_fields(reinterpret_cast<const uint8_t*>(line.data()),
                           static_cast<int32_t>(line.size()), kNative, &f))
      << line;
  return f;
}

// Lines of each hard-wired layout take it (with the default formats when they are the line's),
// and a line that ends in zeros puts the marker in the first source field that is zero.
TEST(FieldRecords, HardwiredLayoutsWhereTheyFit) {
  struct row {
    std::string line;
    record_form form;
    int32_t layout;
    int32_t sources_written;
    bool marker;
  } rows[] = {
      {col("1", 8) + columns({"0.25", "-1.375", "100.0"}, 16) + columns({"0", "0"}, 8),
       record_form::hardwired, 0, 4, false},
      {col("7", 10) + columns({"0.333333333333333", "-2.0E-7", "1.5"}, 20) +
           columns({"0", "0"}, 10),
       record_form::hardwired_long, 0, 4, false},
      {columns({"1", "2", "3", "4", "5", "6", "6", "6", "6", "6"}, 8), record_form::hardwired, 1, 6,
       false},
      {columns({"1", "2", "3", "4", "4", "4", "4", "4", "0", "0"}, 8), record_form::hardwired, 2, 4,
       false},
      {columns({"1", "2", "3", "4", "5", "6", "7", "7", "8", "8"}, 8), record_form::hardwired, 3, 8,
       false},
      {columns({"1", "2", "3", "4", "5", "5", "6", "6", "0", "0"}, 8), record_form::hardwired, 4, 6,
       false},
      {columns({"8", "4", "0", "0", "0", "0", "0", "0", "0", "0"}, 8), record_form::hardwired, 1, 3,
       true},
      {columns({"1", "2", "3", "4", "5", "5"}, 8), record_form::hardwired, 6, 5, false},
      {columns({"1", "2", "3", "4", "5", "5", "6", "7", "8", "8"}, 8), record_form::hardwired, 7, 8,
       false},
  };
  format_cache cache;
  clear_format_cache(cache);
  for (const row& r : rows) {
    const record_plan plan = plan_fields_record(cache, fields_of(r.line));
    EXPECT_EQ(plan.form, r.form) << r.line;
    EXPECT_EQ(plan.layout, r.layout) << r.line;
    EXPECT_EQ(plan.sources_written, r.sources_written) << r.line;
    EXPECT_EQ(plan.source_marker, r.marker) << r.line;
  }
}

// A layout gets a cached code the second time it is met, and keeps it; the zero-fill marker
// takes the place of trailing zeros.
TEST(FieldRecords, LayoutsMetAgainAreCached) {
  const std::string line = columns({"1", "2", "3", "4", "5", "6", "7", "0", "0", "0", "0"}, 8);
  const line_fields f = fields_of(line);
  format_cache cache;
  clear_format_cache(cache);
  std::vector<uint8_t> out;
  std::vector<record_form> forms;
  for (int i = 0; i < 3; ++i) {
    const record_plan plan = plan_fields_record(cache, f);
    forms.push_back(plan.form);
    EXPECT_EQ(plan.data_end, 7 * 4);
    EXPECT_EQ(plan.marker_size, 4);
    write_fields_record(cache, f, plan, byte_order::little, out);
  }
  EXPECT_EQ(forms, (std::vector<record_form>{record_form::lsf4, record_form::cached,
                                             record_form::cached}));
  // LSF4 (1 + 6 + 32), definition (1 + 11 + 1) and record (1 + 32), record again.
  EXPECT_EQ(out.size(), 39u + 13u + 33u + 33u);
}

}  // namespace
}  // namespace binify
