// The C interface: every item, field and run it gives is the C++ reader's, its type codes are
// the header's, a call that does not fit the current item fails, and an error stays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "asciify/asciify.h"
#include "asciify/reader.h"
#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

namespace asciify {
namespace {

using test_support::encoder;

struct closer {
  void operator()(asciify_reader* r) const { asciify_close(r); }
};
using c_reader = std::unique_ptr<asciify_reader, closer>;

// The C interface's code of a field type.
int c_type_of(value_type type) {
  return static_cast<int>(type) + ASCIIFY_INT32;
}

// The n bytes at a and at b are the same (either may be null when n is 0).
bool same_bytes(const void* a, const void* b, size_t n) {
  return n == 0 || std::memcmp(a, b, n) == 0;
}

c_reader c_reader_of(const std::string& bytes) {
  asciify_reader* r = nullptr;
  EXPECT_EQ(asciify_open_memory(&r, bytes.data(), bytes.size()), 0);
  return c_reader(r);
}

reader_ptr cpp_reader_of(const std::string& bytes) {
  return std::move(open_reader_memory(bytes.data(), bytes.size()).reader);
}

std::string line_of(asciify_reader* r) {
  const char* text = nullptr;
  size_t size = 0;
  EXPECT_EQ(asciify_line(r, &text, &size), 0);
  return std::string(text, size);
}

// The C view of one field against the C++ reader's.
void expect_field(asciify_reader* r, int index, const field_value& want) {
  EXPECT_EQ(asciify_field_type(r, index), c_type_of(want.type));
  EXPECT_EQ(asciify_field_is_zero_fill(r, index), want.zero_fill ? 1 : 0);
  int64_t integer = 0;
  double real = 0;
  const char* text = nullptr;
  size_t size = 0;
  const bool is_integer = want.type == value_type::int32 || want.type == value_type::int64;
  const bool is_real = want.type == value_type::real32 || want.type == value_type::real64;
  EXPECT_EQ(asciify_field_int(r, index, &integer), is_integer ? 0 : -1);
  EXPECT_EQ(asciify_field_real(r, index, &real), is_real ? 0 : -1);
  EXPECT_EQ(asciify_field_string(r, index, &text, &size), is_integer || is_real ? -1 : 0);
  if (is_integer) {
    EXPECT_EQ(integer, want.integer);
  } else if (is_real) {
    EXPECT_TRUE(real == want.real || (std::isnan(real) && std::isnan(want.real)));
  } else {
    EXPECT_EQ(std::string(text, size), want.text);
  }
}

// Reads `bytes` item by item through both interfaces: the same items, fields and end.
void expect_items_alike(const std::string& bytes, const std::string& name) {
  SCOPED_TRACE(name);
  const c_reader c = c_reader_of(bytes);
  const reader_ptr cpp = cpp_reader_of(bytes);
  for (const line_item* item; (item = next_item(*cpp)) != nullptr;) {
    ASSERT_EQ(asciify_next(c.get()), static_cast<int>(item->kind));
    EXPECT_EQ(line_of(c.get()), item->text);
    EXPECT_EQ(asciify_line_number(c.get()), item->line_number);
    EXPECT_EQ(asciify_input_byte(c.get()), item->input_byte);
    EXPECT_EQ(asciify_format_code(c.get()), item->format_code);
    const int count = asciify_field_count(c.get());
    ASSERT_EQ(count, static_cast<int>(item->fields.size()));
    for (int f = 0; f < count; ++f) expect_field(c.get(), f, item->fields[static_cast<size_t>(f)]);
    const uint8_t* layout = nullptr;
    const bool record = item->kind == item_kind::data_record;
    EXPECT_EQ(asciify_layout(c.get(), &layout),
              record ? static_cast<int>(item->layout.size()) : -1);
    if (record) {
      EXPECT_TRUE(same_bytes(layout, item->layout.data(), item->layout.size()));
    }
  }
  const read_error* error = reader_error(*cpp);
  EXPECT_EQ(asciify_next(c.get()), error != nullptr ? -1 : 0);
  EXPECT_EQ(asciify_error_message(c.get()), error != nullptr ? error->message : "");
  EXPECT_EQ(asciify_error_input_byte(c.get()), error != nullptr ? error->input_byte : -1);
  EXPECT_EQ(asciify_error_line(c.get()), error != nullptr ? error->line : 0);
}

TEST(CInterface, ItemsAndFieldsAreTheReadersOwn) {
  expect_items_alike(test_support::example_input().bytes, "the example");
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::string input = test_support::make_random_input(seed).bytes;
    expect_items_alike(input, "seed " + std::to_string(seed));
    expect_items_alike(input.substr(0, input.size() / 3), "seed " + std::to_string(seed) + " cut");
  }
}

// Reads `bytes` run by run through both interfaces: the same runs, columns and end.
void expect_runs_alike(const std::string& bytes, int64_t max_rows, const std::string& name) {
  SCOPED_TRACE(name);
  const c_reader c = c_reader_of(bytes);
  const reader_ptr cpp = cpp_reader_of(bytes);
  for (const record_batch* batch; (batch = next_batch(*cpp, max_rows)) != nullptr;) {
    ASSERT_EQ(asciify_next_batch(c.get(), max_rows), batch->rows);
    const uint8_t* layout = nullptr;
    ASSERT_EQ(asciify_batch_layout(c.get(), &layout), static_cast<int>(batch->layout.size()));
    EXPECT_TRUE(same_bytes(layout, batch->layout.data(), batch->layout.size()));
    EXPECT_EQ(asciify_batch_line_number(c.get()), batch->first_line);
    EXPECT_EQ(asciify_batch_input_byte(c.get()), batch->first_input_byte);
    const char* heading = nullptr;
    size_t heading_size = 0;
    EXPECT_EQ(asciify_batch_heading(c.get(), &heading, &heading_size), 0);
    EXPECT_EQ(std::string(heading, heading_size), batch->heading);
    const auto rows = static_cast<size_t>(batch->rows);
    for (size_t f = 0; f < batch->columns.size(); ++f) {
      const batch_column& column = batch->columns[f];
      const int index = static_cast<int>(f);
      EXPECT_EQ(asciify_batch_field_type(c.get(), index), c_type_of(column.type));
      EXPECT_TRUE(same_bytes(asciify_batch_zero_fill(c.get(), index), column.zero_fill, rows));
      const char* chars = nullptr;
      const uint32_t* offsets = nullptr;
      const bool strings = column.type == value_type::string;
      EXPECT_EQ(asciify_batch_strings(c.get(), index, &chars, &offsets), strings ? 0 : -1);
      const void* values = asciify_batch_values(c.get(), index);
      const size_t width =
          column.type == value_type::int64 || column.type == value_type::real64 ? 8 : 4;
      if (strings) {
        EXPECT_EQ(values, nullptr);
        EXPECT_TRUE(same_bytes(offsets, column.offsets, (rows + 1) * 4));
        EXPECT_TRUE(same_bytes(chars, column.chars, column.offsets[rows]));
      } else {
        ASSERT_NE(values, nullptr);
        EXPECT_TRUE(same_bytes(values, column.values, rows * width));
      }
    }
    EXPECT_EQ(asciify_batch_field_type(c.get(), static_cast<int>(batch->columns.size())), -1);
  }
  EXPECT_EQ(asciify_next_batch(c.get(), max_rows), reader_error(*cpp) != nullptr ? -1 : 0);
}

TEST(CInterface, RunsAreTheReadersOwn) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::string input = test_support::make_random_input(seed).bytes;
    for (const int64_t max_rows : {int64_t{1}, int64_t{3}, int64_t{1000}}) {
      expect_runs_alike(input, max_rows, "seed " + std::to_string(seed));
    }
  }
}

// The header's type codes for each field type, and calls that do not fit the current item.
TEST(CInterface, TypeCodesAndCallsThatDoNotFit) {
  encoder file = encoder{}.line("head").start_binary();
  file.define(60, {0x04, 0x2A, 0x54, 0x6A, 0x84}).byte(60).i32(7).f32(0.5f).i64(-9).f64(2.5);
  file.str("ab");
  const c_reader r = c_reader_of(file.bytes);
  int64_t integer = 0;
  double real = 0;
  const char* text = nullptr;
  size_t size = 0;
  const uint8_t* bytes = nullptr;
  // Before the first item, and on an ASCII line: no fields, no layout, no run.
  EXPECT_EQ(asciify_line(r.get(), &text, &size), -1);
  EXPECT_EQ(asciify_line_number(r.get()), -1);
  EXPECT_EQ(asciify_next(r.get()), ASCIIFY_ASCII_LINE);
  EXPECT_EQ(asciify_field_count(r.get()), 0);
  EXPECT_EQ(asciify_field_int(r.get(), 0, &integer), -1);
  EXPECT_EQ(asciify_layout(r.get(), &bytes), -1);
  EXPECT_EQ(asciify_batch_layout(r.get(), &bytes), -1);
  ASSERT_EQ(asciify_next(r.get()), ASCIIFY_DATA_RECORD);
  const int want[] = {ASCIIFY_INT32, ASCIIFY_REAL32, ASCIIFY_INT64, ASCIIFY_REAL64, ASCIIFY_STRING};
  ASSERT_EQ(asciify_field_count(r.get()), 5);
  for (int f = 0; f < 5; ++f) EXPECT_EQ(asciify_field_type(r.get(), f), want[f]) << f;
  for (const int outside : {-1, 5}) {
    EXPECT_EQ(asciify_field_type(r.get(), outside), -1);
    EXPECT_EQ(asciify_field_is_zero_fill(r.get(), outside), -1);
    EXPECT_EQ(asciify_field_int(r.get(), outside, &integer), -1);
  }
  EXPECT_EQ(asciify_field_real(r.get(), 1, &real), 0);
  EXPECT_EQ(real, 0.5);
  EXPECT_EQ(asciify_field_int(r.get(), 2, &integer), 0);
  EXPECT_EQ(integer, -9);
  EXPECT_EQ(asciify_render_record(r.get(), &text, &size), 0);
  EXPECT_EQ(std::string(text, size), line_of(r.get()));
  // A pointer to give a result through that is not there.
  const uint32_t* offsets = nullptr;
  for (const int result :
       {asciify_line(r.get(), nullptr, &size), asciify_line(r.get(), &text, nullptr),
        asciify_field_int(r.get(), 0, nullptr), asciify_field_real(r.get(), 1, nullptr),
        asciify_field_string(r.get(), 4, nullptr, &size), asciify_layout(r.get(), nullptr),
        asciify_render_record(r.get(), &text, nullptr),
        asciify_open_memory(nullptr, file.bytes.data(), file.bytes.size())}) {
    EXPECT_EQ(result, -1);
  }
  EXPECT_EQ(asciify_next(r.get()), 0);
  const c_reader runs = c_reader_of(file.bytes);
  ASSERT_EQ(asciify_next_batch(runs.get(), 10), 1);
  EXPECT_EQ(asciify_batch_strings(runs.get(), 4, &text, &offsets), 0);
  for (const int result : {asciify_batch_layout(runs.get(), nullptr),
                           asciify_batch_heading(runs.get(), nullptr, &size),
                           asciify_batch_strings(runs.get(), 4, nullptr, &offsets),
                           asciify_batch_strings(runs.get(), 4, &text, nullptr)}) {
    EXPECT_EQ(result, -1);
  }
  // A handle that is NULL, as an open gives when no memory is left.
  EXPECT_EQ(asciify_next(nullptr), -1);
  EXPECT_EQ(asciify_next_batch(nullptr, 10), -1);
  EXPECT_EQ(asciify_field_count(nullptr), 0);
  EXPECT_EQ(asciify_version_number(), unsigned{ASCIIFY_VERSION_NUMBER});
  asciify_close(nullptr);
}

// An input that cannot be opened, and one whose error ends the reading: every call after it
// says so.
TEST(CInterface, ErrorsStay) {
  asciify_reader* missing = nullptr;
  EXPECT_LT(asciify_open_file(&missing, "no/such/file.dat"), 0);
  const c_reader closed_missing(missing);
  ASSERT_NE(missing, nullptr);
  EXPECT_STRNE(asciify_error_message(missing), "");
  EXPECT_EQ(asciify_next(missing), -1);
  EXPECT_EQ(asciify_next_batch(missing, 10), -1);
  EXPECT_EQ(asciify_error_input_byte(missing), -1);

  const std::string bytes = encoder{}.line("head").start_binary().byte(99).bytes;
  const c_reader r = c_reader_of(bytes);
  EXPECT_EQ(asciify_next(r.get()), ASCIIFY_ASCII_LINE);
  EXPECT_EQ(asciify_next(r.get()), -1);
  const std::string message = asciify_error_message(r.get());
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(asciify_error_input_byte(r.get()), static_cast<int64_t>(bytes.size()) - 1);
  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ(asciify_next(r.get()), -1);
    EXPECT_EQ(asciify_next_batch(r.get(), 10), -1);
    EXPECT_EQ(asciify_error_message(r.get()), message);
  }
}

// A source that hands out a few bytes at a time, and throws at its `throw_at`-th read as a
// reader's step does when no memory is left.
struct throwing_source {
  std::string bytes;
  int throw_at;
  int reads = 0;
  size_t at = 0;
};

size_t read_or_throw(void* context, void* buffer, size_t capacity, int*) {
  auto& source = *static_cast<throwing_source*>(context);
  if (++source.reads == source.throw_at) throw std::bad_alloc();
  const size_t size = std::min({capacity, size_t{100}, source.bytes.size() - source.at});
  std::memcpy(buffer, source.bytes.data() + source.at, size);
  source.at += size;
  return size;
}

// No exception reaches the caller: one thrown while opening fails the open, one thrown while
// reading items or runs ends the reading, and every call after it says so.
TEST(CInterface, AStepThatThrowsEndsTheReading) {
  encoder file = encoder{}.line("head").start_binary().define(60, {0x04});
  for (int32_t i = 0; i < 40000; ++i) file.byte(60).i32(i);
  for (const bool runs : {false, true}) {
    SCOPED_TRACE(runs ? "runs" : "items");
    throwing_source at_open{file.bytes, 1};
    asciify_reader* r = nullptr;
    EXPECT_EQ(asciify_open_callback(&r, read_or_throw, &at_open), -1);
    const c_reader not_opened(r);
    EXPECT_STREQ(asciify_error_message(r), "out of memory");
    EXPECT_EQ(asciify_next(r), -1);

    // Thrown after 99,900 of its 200,000 bytes, when the first pieces have made lines.
    throwing_source later{file.bytes, 1000};
    ASSERT_EQ(asciify_open_callback(&r, read_or_throw, &later), 0);
    const c_reader reading(r);
    int64_t rows = 0;
    for (int64_t got; (got = runs ? asciify_next_batch(r, 10) : asciify_next(r)) > 0;) {
      rows += runs ? got : 1;
    }
    EXPECT_GT(rows, 1000);
    EXPECT_LT(rows, 20000);
    EXPECT_STREQ(asciify_error_message(r), "out of memory");
    EXPECT_EQ(asciify_error_input_byte(r), -1);
    EXPECT_EQ(asciify_next(r), -1);
    EXPECT_EQ(asciify_next_batch(r, 10), -1);
    EXPECT_EQ(asciify_line_number(r), -1);  // no item stays current
    EXPECT_EQ(later.reads, 1000);           // nor is the source read again
  }
}

}  // namespace
}  // namespace asciify
