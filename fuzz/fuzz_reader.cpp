// Fuzz target of the reader: on any input it gives every line the converter gives and the same
// error, every data record's values write its line again, and its runs hold exactly the data
// records, each row's values those of its record; read as items and runs in turn, it gives every
// data record once.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "asciify/reader.h"
#include "tests/support/convert_in_memory.h"

namespace {

[[noreturn]] void violated(const char* what) {
  std::fprintf(stderr, "invariant violated: %s\n", what);
  std::abort();
}

// The first field of an item or of a row of a batch column, as read_items and read_runs take it.
double first_of(const asciify::line_item& item) {
  const asciify::field_value* v = item.fields.empty() ? nullptr : &item.fields[0];
  return v == nullptr                             ? 0
         : v->type == asciify::value_type::string ? double(v->text.size())
         : v->type <= asciify::value_type::int64  ? double(v->integer)
                                                  : v->real;
}

double first_of(const asciify::record_batch& batch, int64_t row) {
  if (batch.columns.empty()) return 0;
  const asciify::batch_column& c = batch.columns[0];
  switch (c.type) {
    case asciify::value_type::int32:
      return static_cast<const int32_t*>(c.values)[row];
    case asciify::value_type::int64:
      return double(static_cast<const int64_t*>(c.values)[row]);
    case asciify::value_type::real32:
      return static_cast<const float*>(c.values)[row];
    case asciify::value_type::real64:
      return static_cast<const double*>(c.values)[row];
    case asciify::value_type::string:
      break;
  }
  return c.offsets[row + 1] - c.offsets[row];
}

// Reads every item; returns their texts and appends the first field of each data record (its
// integer or real, or the length of its string; 0 when it has none) to `firsts`.
std::string read_items(const uint8_t* data, size_t size, std::vector<double>& firsts) {
  const asciify::reader_ptr r = asciify::open_reader_memory(data, size).reader;
  if (r == nullptr) return "";
  std::string text;
  while (const asciify::line_item* item = asciify::next_item(*r)) {
    text += item->text;
    if (item->kind != asciify::item_kind::data_record) continue;
    if (asciify::render_values(*item) != item->text) violated("values that do not give the line");
    firsts.push_back(first_of(*item));
  }
  if (asciify::next_item(*r) != nullptr) violated("an item after the end");
  return text;
}

// Reads the runs, in batches of a few rows; returns the first fields of their rows.
std::vector<double> read_runs(const uint8_t* data, size_t size) {
  std::vector<double> firsts;
  const asciify::reader_ptr r = asciify::open_reader_memory(data, size).reader;
  if (r == nullptr) return firsts;
  while (const asciify::record_batch* batch = asciify::next_batch(*r, 3)) {
    for (int64_t row = 0; row < batch->rows; ++row) firsts.push_back(first_of(*batch, row));
  }
  return firsts;
}

// Reads items and runs in turn, as the bits of `pattern` choose (a run of 1 to 4 rows at most):
// every data record comes once, as an item or as a row, in order. Returns their first fields.
std::vector<double> read_mixed(const uint8_t* data, size_t size, uint64_t pattern) {
  std::vector<double> firsts;
  const asciify::reader_ptr r = asciify::open_reader_memory(data, size).reader;
  if (r == nullptr) return firsts;
  for (uint64_t bits = pattern;; bits = bits >> 3 | bits << 61) {
    if ((bits & 1) != 0) {
      const asciify::line_item* item = asciify::next_item(*r);
      if (item == nullptr) break;
      if (item->kind == asciify::item_kind::data_record) firsts.push_back(first_of(*item));
      continue;
    }
    const asciify::record_batch* batch = asciify::next_batch(*r, int64_t(bits >> 1 & 3) + 1);
    if (batch == nullptr) break;  // the end: the lines after the last run are passed over
    for (int64_t row = 0; row < batch->rows; ++row) firsts.push_back(first_of(*batch, row));
  }
  return firsts;
}

bool same_values(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && !(a[i] != a[i] && b[i] != b[i])) return false;  // NaN equals NaN here
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<double> firsts;
  const std::string text = read_items(data, size, firsts);
  const asciify::test_support::conversion_capture run =
      asciify::test_support::convert_in_memory(input);
  if (run.status != 1 && text != run.output) violated("lines other than the converter's");
  if (!same_values(read_runs(data, size), firsts)) violated("runs other than the records");
  // The reading's pattern from the input's last bytes.
  uint64_t pattern = 0x9E3779B97F4A7C15u;
  for (size_t i = size > 8 ? size - 8 : 0; i < size; ++i) pattern = pattern * 31 + data[i];
  if (!same_values(read_mixed(data, size, pattern), firsts)) {
    violated("items and runs in turn other than the records");
  }
  return 0;
}
