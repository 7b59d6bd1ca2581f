// Reads a file through the library's reader, as a program that wants its values does:
//
//   read_speed batches FILE   every value, in runs of one layout (65,536 rows at most)
//   read_speed lines FILE     every line, one item at a time, with the values of its fields
//   read_speed texts FILE     every line's text, one item at a time, without values
//
// Prints the rows or lines read and a sum of what was read (so that nothing is left out), and
// exits with 2 after an error of the file. bench/run times it with bench/measure.
#include <asciify/reader.h>

#include "read/next_text.h"  // the lines without values, as the Python module reads them

#include <cstdio>
#include <cstring>

namespace {

// The sum of the values of every column of the batch (a string's length), so that its values
// are looked at, one column at a time as a program does. Four partial sums, as a vectorised
// sum takes them: one sum would make every addition wait for the one before, and the time
// measured would be that of the additions rather than of the reading.
template <typename T>
double sum_of_values(const void* values, int64_t rows) {
  const T* typed = static_cast<const T*>(values);
  double sums[4] = {0, 0, 0, 0};
  int64_t row = 0;
  for (; row + 4 <= rows; row += 4) {
    for (int k = 0; k < 4; ++k) sums[k] += static_cast<double>(typed[row + k]);
  }
  for (; row < rows; ++row) sums[0] += static_cast<double>(typed[row]);
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

double sum_of(const asciify::record_batch& batch) {
  double sum = 0;
  for (const asciify::batch_column& column : batch.columns) {
    switch (column.type) {
      case asciify::value_type::int32:
        sum += sum_of_values<int32_t>(column.values, batch.rows);
        break;
      case asciify::value_type::int64:
        sum += sum_of_values<int64_t>(column.values, batch.rows);
        break;
      case asciify::value_type::real32:
        sum += sum_of_values<float>(column.values, batch.rows);
        break;
      case asciify::value_type::real64:
        sum += sum_of_values<double>(column.values, batch.rows);
        break;
      case asciify::value_type::string:
        sum += column.offsets[batch.rows] - column.offsets[0];
        break;
    }
  }
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  const bool batches = argc == 3 && std::strcmp(argv[1], "batches") == 0;
  const bool texts = argc == 3 && std::strcmp(argv[1], "texts") == 0;
  if (argc != 3 || (!batches && !texts && std::strcmp(argv[1], "lines") != 0)) {
    std::fprintf(stderr, "usage: read_speed batches|lines|texts FILE\n");
    return 1;
  }
  asciify::reader_opening opening = asciify::open_reader_file(argv[2]);
  if (opening.reader == nullptr) {
    std::fprintf(stderr, "read_speed: %s: %s\n", argv[2], opening.reason.c_str());
    return 1;
  }
  asciify::reader& reader = *opening.reader;
  long long count = 0;
  double sum = 0;
  if (batches) {
    while (const asciify::record_batch* batch = asciify::next_batch(reader, 65536)) {
      count += batch->rows;
      sum += sum_of(*batch);
    }
  } else {
    const auto next = texts ? asciify::next_text_item : asciify::next_item;
    while (const asciify::line_item* item = next(reader)) {
      ++count;
      sum += double(item->text.size());
    }
  }
  std::printf("%lld %s, sum %g\n", count, batches ? "rows" : "lines", sum);
  return asciify::reader_error(reader) != nullptr ? 2 : 0;
}
