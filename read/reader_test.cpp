// The reader: its lines are the converter's, each data record's values write its line again,
// the values of every kind of field, runs of one layout, and the error that ends the reading.
#include "asciify/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"

namespace asciify {
namespace {

using test_support::encoder;
using test_support::order;

reader_ptr reader_of(const std::string& bytes) {
  reader_opening opening = open_reader_memory(bytes.data(), bytes.size());
  EXPECT_NE(opening.reader, nullptr) << opening.reason;
  return std::move(opening.reader);
}

// Reads every item: their texts must be the conversion's text, their line numbers count up, and
// every data record's values write its line again. Returns the items' texts.
std::string read_all(const std::string& bytes, const std::string& name) {
  const reader_ptr r = reader_of(bytes);
  std::string text;
  int64_t line = 0;
  for (const line_item* item; (item = next_item(*r)) != nullptr;) {
    EXPECT_EQ(item->line_number, ++line) << name;
    EXPECT_EQ(render_values(*item), item->text) << name << " line " << line;
    text += item->text;
  }
  const test_support::conversion_capture run = test_support::convert_in_memory(bytes);
  EXPECT_TRUE(text == run.output) << name;
  EXPECT_EQ(reader_error(*r) == nullptr, run.status == 0) << name;
  return text;
}

TEST(Reader, LinesAreTheConvertersAndValuesWriteThemAgain) {
  read_all(test_support::example_input().bytes, "the example");
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    const std::string input = test_support::make_random_input(seed).bytes;
    read_all(input, "seed " + std::to_string(seed));
    read_all(input.substr(0, input.size() / 2), "seed " + std::to_string(seed) + " cut");
  }
}

// The values of each kind of field, in both byte orders: numbers, '*' values, NaN, strings,
// free format, zero fill in a cached and in a hard-wired record.
TEST(Reader, ValuesOfEveryKindOfField) {
  for (const order numbers : {order::native, order::reversed}) {
    encoder file = encoder{}.line("head").start_binary(numbers);
    file.define(60, {0x04, 0x2A, 0x54, 0x6A, 0x84, 0x80}).byte(60).i32(123456).f32(NAN);
    file.i64(-5).f64(2.5).str("ab").str("open");
    file.lsf8({0x1F, 0x3F, 0xFF}).i32(7).marker4().text_record("*x");
    file.byte(10).i32(1).f32(1.5f).marker4();
    const reader_ptr r = reader_of(file.bytes);
    EXPECT_EQ(next_item(*r)->kind, item_kind::ascii_line);
    const line_item* cached = next_item(*r);
    ASSERT_EQ(cached->fields.size(), 6u);
    EXPECT_EQ(cached->source, record_source::cached_format);
    EXPECT_EQ(cached->format_code, 60);
    EXPECT_EQ(cached->swapped, numbers == order::reversed);
    EXPECT_EQ(cached->text.substr(0, 4), "****");  // too wide for 4 columns, yet exact
    EXPECT_EQ(cached->fields[0].integer, 123456);
    EXPECT_TRUE(std::isnan(cached->fields[1].real));
    EXPECT_EQ(cached->fields[2].integer, -5);
    EXPECT_EQ(cached->fields[3].real, 2.5);
    EXPECT_EQ(cached->fields[4].text, "ab");
    EXPECT_EQ(cached->fields[5].text, "open");
    const line_item* free = next_item(*r);
    EXPECT_EQ(free->text, " 7, 0.0,\n");
    EXPECT_EQ(std::vector<bool>({free->fields[0].zero_fill, free->fields[1].zero_fill,
                                 free->fields[2].zero_fill}),
              std::vector<bool>({false, true, true}));
    EXPECT_EQ(next_item(*r)->text, "$\n");  // the text record's flag line, then its text
    EXPECT_EQ(next_item(*r)->kind, item_kind::text_record);
    const line_item* wired = next_item(*r);
    EXPECT_EQ(wired->source, record_source::hardwired);
    ASSERT_EQ(wired->fields.size(), 6u);
    EXPECT_EQ(wired->fields[1].real, 1.5);
    EXPECT_TRUE(wired->fields[2].zero_fill && wired->fields[3].zero_fill);
    EXPECT_FALSE(wired->fields[4].zero_fill);  // an appended zero field
    EXPECT_EQ(render_values(*wired), wired->text);
    EXPECT_EQ(next_item(*r), nullptr);
    EXPECT_EQ(reader_error(*r), nullptr);
  }
}

// Lines whose strings hold newlines, and more records than the converter's queue holds: each
// item's text is its own line, read for lines, for runs of values, or first one then the other.
TEST(Reader, LinesInStepWhateverTheyHoldAndHowTheyAreRead) {
  encoder file = encoder{}.line("head").start_binary().define(60, {0x0A, 0x84, 0x80});
  for (int32_t i = 0; i < 20000; ++i) {
    file.byte(60).i32(i).str(i % 7 == 0 ? "a\nb" : "ab").str(i % 5 == 0 ? "x\ny\n" : "xy");
    if (i % 3000 == 0) file.text_record("part " + std::to_string(i));
  }
  const std::string lines = read_all(file.bytes, "newlines in strings");
  const int64_t records = 20000;
  for (const int64_t items_first : {int64_t{0}, int64_t{1}, int64_t{5000}}) {
    const reader_ptr r = reader_of(file.bytes);
    std::string text;
    int64_t rows = 0;
    for (int64_t i = 0; i < items_first; ++i) {
      const line_item* item = next_item(*r);
      text += item->text;
      rows += item->kind == item_kind::data_record ? 1 : 0;
    }
    for (const record_batch* batch; (batch = next_batch(*r, 1000)) != nullptr;) rows += batch->rows;
    EXPECT_EQ(rows, records) << items_first;
    EXPECT_TRUE(lines.starts_with(text)) << items_first;
  }
  {
    // Closed with lines still queued in the converter: it finishes writing them, then ends.
    const reader_ptr early = reader_of(file.bytes);
    for (int32_t i = 0; i < 100; ++i) ASSERT_NE(next_item(*early), nullptr);
  }
  // Items after runs: their texts written from values, from the line after the run on.
  const reader_ptr r = reader_of(file.bytes);
  ASSERT_NE(next_batch(*r, 1), nullptr);
  const record_batch* batch = next_batch(*r, 10);
  ASSERT_NE(batch, nullptr);
  const int64_t next_line = batch->first_line + batch->rows;
  std::string rest;
  for (const line_item* item; (item = next_item(*r)) != nullptr;) {
    if (rest.empty()) {
      EXPECT_EQ(item->line_number, next_line);
    }
    rest += item->text;
  }
  EXPECT_TRUE(lines.ends_with(rest) && rest.size() > lines.size() / 2);
}

// A run ends at another layout, at a line that is no data record and at the row bound; its
// heading is the last text line before it.
TEST(Reader, BatchesAreRunsOfOneLayout) {
  encoder file = encoder{}.line("first table").start_binary().define(60, {0x0A, 0x2A});
  for (int32_t i = 0; i < 5; ++i) file.byte(60).i32(i).f32(0.5f * float(i));
  file.lsf8({0x0A, 0x2A}).i32(5).f32(3.0f);  // the same layout in another kind of record
  file.lsf8({0x8A}).str("name").text_record("second table");
  for (int32_t i = 0; i < 3; ++i) file.byte(60).i32(10 + i).f32(1.0f);
  const reader_ptr r = reader_of(file.bytes);
  const struct {
    int64_t rows, first_line, first_value;
    float last_real;
    const char* heading;
  } runs[] = {{4, 2, 0, 1.5f, "first table"},
              {2, 6, 4, 3.0f, "first table"},
              {1, 8, -1, 0, "first table"},
              {3, 10, 10, 1.0f, "second table"}};
  for (const auto& expected : runs) {
    const record_batch* batch = next_batch(*r, 4);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(batch->rows, expected.rows);
    EXPECT_EQ(batch->first_line, expected.first_line);
    EXPECT_EQ(batch->heading, expected.heading);
    const batch_column& first = batch->columns[0];
    if (expected.first_value < 0) {
      EXPECT_EQ(std::string(first.chars + first.offsets[0], first.chars + first.offsets[1]),
                "name");
      continue;
    }
    EXPECT_EQ(static_cast<const int32_t*>(first.values)[0], expected.first_value);
    EXPECT_EQ(static_cast<const float*>(batch->columns[1].values)[expected.rows - 1],
              expected.last_real);
  }
  EXPECT_EQ(next_batch(*r, 4), nullptr);
}

// Where each data record stands, as the items give it: its line number and input byte.
std::vector<std::pair<int64_t, int64_t>> record_places(const std::string& bytes) {
  std::vector<std::pair<int64_t, int64_t>> places;
  const reader_ptr r = reader_of(bytes);
  for (const line_item* item; (item = next_item(*r)) != nullptr;) {
    if (item->kind == item_kind::data_record)
      places.emplace_back(item->line_number, item->input_byte);
  }
  return places;
}

// Two layouts of one size that differ in one field's width only are two runs, wherever that
// field stands; the second begins where its record stands.
TEST(Reader, ALayoutDifferingInOneByteEndsARun) {
  for (size_t fields = 1; fields <= 20; ++fields) {
    for (size_t changed = 0; changed < fields; ++changed) {
      std::vector<uint8_t> layout(fields, 0x0A), other = layout;
      other[changed] = 0x0B;  // an integer one column wider: the same record data
      encoder file = encoder{}.start_binary().define(60, layout).define(61, other);
      for (const uint8_t code : {60, 61}) {
        file.byte(code);
        for (size_t i = 0; i < fields; ++i) file.i32(static_cast<int32_t>(i));
      }
      const auto places = record_places(file.bytes);
      ASSERT_EQ(places.size(), 2u);
      const reader_ptr r = reader_of(file.bytes);
      for (size_t run = 0; run < 2; ++run) {
        const record_batch* batch = next_batch(*r, 100);
        ASSERT_NE(batch, nullptr) << fields << " fields, " << changed;
        EXPECT_EQ(batch->rows, 1) << fields << " fields, " << changed;
        EXPECT_TRUE(std::ranges::equal(batch->layout, run == 0 ? layout : other)) << fields;
        EXPECT_EQ(std::pair(batch->first_line, batch->first_input_byte), places[run]) << fields;
      }
      EXPECT_EQ(next_batch(*r, 100), nullptr);
    }
  }
}

// A row as text for comparing: where it stands, its layout and every value (numbers by their
// bits, so that NaN equals itself).
std::string row_text(int64_t line, int64_t byte, std::span<const uint8_t> layout) {
  std::string text = std::to_string(line) + "@" + std::to_string(byte) + ":";
  for (const uint8_t b : layout) text += std::to_string(b) + ",";
  return text;
}

// (A 4-byte real is compared as the items give it, widened.)
void add_value(std::string& text, value_type type, const void* value, std::string_view chars,
               bool zero_fill) {
  uint64_t bits = 0;
  const size_t size = type == value_type::int64 || type == value_type::real64 ? 8 : 4;
  if (type == value_type::real32) {
    float single;
    std::memcpy(&single, value, sizeof single);
    const double wide = single;
    std::memcpy(&bits, &wide, sizeof bits);
  } else if (type != value_type::string) {
    std::memcpy(&bits, value, size);
  }
  text += " " + std::to_string(bits) + "'" + std::string(chars) + (zero_fill ? "'z" : "'");
}

// The data records of every item, as rows.
std::vector<std::string> rows_of_items(const std::string& bytes) {
  std::vector<std::string> rows;
  const reader_ptr r = reader_of(bytes);
  for (const line_item* item; (item = next_item(*r)) != nullptr;) {
    if (item->kind != item_kind::data_record) continue;
    std::string row = row_text(item->line_number, item->input_byte, item->layout);
    for (const field_value& f : item->fields) {
      const int32_t narrow = static_cast<int32_t>(f.integer);
      const void* value = f.type == value_type::int32   ? static_cast<const void*>(&narrow)
                          : f.type == value_type::int64 ? static_cast<const void*>(&f.integer)
                                                        : static_cast<const void*>(&f.real);
      add_value(row, f.type == value_type::real32 ? value_type::real64 : f.type, value, f.text,
                f.zero_fill);
    }
    rows.push_back(row);
  }
  return rows;
}

// The rows of every batch of at most `max_rows`: rows of a run are records one after the other.
std::vector<std::string> rows_of_batches(const std::string& bytes, int64_t max_rows) {
  std::vector<std::string> rows;
  const reader_ptr r = reader_of(bytes);
  while (const record_batch* batch = next_batch(*r, max_rows)) {
    EXPECT_LE(batch->rows, max_rows);
    for (int64_t k = 0; k < batch->rows; ++k) {
      const int64_t byte = k == 0 ? batch->first_input_byte : -1;
      std::string row = row_text(batch->first_line + k, byte, batch->layout);
      for (const batch_column& c : batch->columns) {
        const size_t size = c.type == value_type::int64 || c.type == value_type::real64 ? 8 : 4;
        const auto* value = static_cast<const uint8_t*>(c.values) + k * size;
        const std::string_view chars =
            c.type == value_type::string
                ? std::string_view(c.chars + c.offsets[k], c.offsets[k + 1] - c.offsets[k])
                : std::string_view();
        add_value(row, c.type, value, chars, c.zero_fill[k] != 0);
      }
      rows.push_back(row);
    }
  }
  return rows;
}

// Runs hold every data record the items show, in order, with the same values, whatever the
// bound of their rows; a batch tells where its first record began.
TEST(Reader, RunsHoldTheRecordsOfTheItems) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::string input = test_support::make_random_input(seed).bytes;
    if (seed % 4 == 0) input.resize(input.size() / 2);
    std::vector<std::string> expected = rows_of_items(input);
    for (const int64_t max_rows : {1, 3, 65536}) {
      std::vector<std::string> rows = rows_of_batches(input, max_rows);
      ASSERT_EQ(rows.size(), expected.size()) << "seed " << seed;
      for (size_t k = 0; k < rows.size(); ++k) {
        // A row past a run's first knows no input byte of its own.
        if (rows[k].find("@-1:") == std::string::npos) {
          EXPECT_EQ(rows[k], expected[k]) << "seed " << seed << ", max " << max_rows;
        } else {
          EXPECT_EQ(rows[k].substr(rows[k].find(':')), expected[k].substr(expected[k].find(':')))
              << "seed " << seed << ", max " << max_rows;
        }
      }
    }
  }
}

// A record of more numbers than a machine word has bits, and records of no field at all: every
// value comes out, in lines and in runs.
TEST(Reader, RecordsOfManyFieldsOrNone) {
  encoder file = encoder{}.start_binary().define(60, std::vector<uint8_t>(40, 0x09));
  for (int32_t row = 0; row < 2; ++row) {
    file.byte(60);
    for (int32_t field = 0; field < 40; ++field) file.i32(100 * row + field);
  }
  file.lsf8({}).lsf8({});
  const std::string bytes = file.end_binary().bytes;
  const std::string text = read_all(bytes, "many fields or none");
  const reader_ptr lines = reader_of(bytes);
  const line_item* item = next_item(*lines);
  ASSERT_EQ(item->fields.size(), 40u);
  for (int32_t field = 0; field < 40; ++field) {
    EXPECT_EQ(item->fields[field].integer, field);
    EXPECT_FALSE(item->fields[field].zero_fill) << field;
  }
  const reader_ptr runs = reader_of(bytes);
  const record_batch* many = next_batch(*runs, 10);
  ASSERT_NE(many, nullptr);
  EXPECT_EQ(many->rows, 2);
  EXPECT_EQ(static_cast<const int32_t*>(many->columns[39].values)[1], 139);
  const record_batch* none = next_batch(*runs, 10);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->rows, 2);
  EXPECT_TRUE(none->columns.empty());
  EXPECT_EQ(next_batch(*runs, 10), nullptr);
}

// The first error ends the reading with the command's message, its input byte and its line;
// every call after it says so.
TEST(Reader, TheFirstErrorEndsTheReading) {
  const encoder file = encoder{}.line("a").start_binary().text_record("b").byte(5).line("c");
  const reader_ptr r = reader_of(file.bytes);
  EXPECT_EQ(next_item(*r)->text, "a\n");
  EXPECT_EQ(next_item(*r)->text, "b\n");
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(call % 2 == 0 ? next_item(*r) : nullptr, nullptr);
    EXPECT_EQ(next_batch(*r, 10), nullptr);
    const read_error* error = reader_error(*r);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->message,
              "Found unknown reserved format code 5 in <process_hardwired_line> at line 3");
    EXPECT_EQ(error->input_byte, static_cast<int64_t>(file.bytes.size() - 3));
    EXPECT_EQ(error->line, 3);
  }
  const reader_opening missing = open_reader_file("no such file.dat");
  EXPECT_EQ(missing.reader, nullptr);
  EXPECT_EQ(missing.reason, "No such file or directory");
}

// Readers on two threads are independent: each gives what one reader alone gives.
TEST(Reader, ReadersOnTwoThreads) {
  const std::string first = test_support::make_random_input(3).bytes;
  const std::string second = test_support::make_random_input(4).bytes;
  std::string texts[2];
  std::thread other([&] { texts[1] = read_all(second, "on a thread"); });
  texts[0] = read_all(first, "beside it");
  other.join();
  EXPECT_EQ(texts[0], test_support::convert_in_memory(first).output);
  EXPECT_EQ(texts[1], test_support::convert_in_memory(second).output);
}

}  // namespace
}  // namespace asciify
