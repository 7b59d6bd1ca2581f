// Fuzz target of the reader: on any input it gives every line the converter gives and the same
// error, every data record's values write its line again, and its runs hold exactly the data
// records, each row's values those of its record.
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
    const asciify::field_value* v = item->fields.empty() ? nullptr : &item->fields[0];
    firsts.push_back(v == nullptr                             ? 0
                     : v->type == asciify::value_type::string ? double(v->text.size())
                     : v->type <= asciify::value_type::int64  ? double(v->integer)
                                                              : v->real);
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
    for (int64_t row = 0; row < batch->rows; ++row) {
      if (batch->columns.empty()) {
        firsts.push_back(0);
        continue;
      }
      const asciify::batch_column& c = batch->columns[0];
      switch (c.type) {
        case asciify::value_type::int32:
          firsts.push_back(static_cast<const int32_t*>(c.values)[row]);
          break;
        case asciify::value_type::int64:
          firsts.push_back(double(static_cast<const int64_t*>(c.values)[row]));
          break;
        case asciify::value_type::real32:
          firsts.push_back(static_cast<const float*>(c.values)[row]);
          break;
        case asciify::value_type::real64:
          firsts.push_back(static_cast<const double*>(c.values)[row]);
          break;
        case asciify::value_type::string:
          firsts.push_back(c.offsets[row + 1] - c.offsets[row]);
          break;
      }
    }
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
  return 0;
}
