// Reads a file with the asciify library's C++ interface: prints every line the converter
// writes, checks that every data record's values written again by the converter's own field
// writers give its line, and tells on standard error how many runs of one layout and rows the
// file holds. Status 0, 2 after an error of the file, 3 when a record's values do not give its
// line.
//
//   read_values IN
#include <asciify/reader.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_values IN\n");
    return 1;
  }
  asciify::reader_opening opening = asciify::open_reader_file(argv[1]);
  if (opening.reader == nullptr) {
    std::fprintf(stderr, "read_values: %s: %s\n", argv[1], opening.reason.c_str());
    return 1;
  }
  int status = 0;
  while (const asciify::line_item* item = asciify::next_item(*opening.reader)) {
    std::fwrite(item->text.data(), 1, item->text.size(), stdout);
    if (asciify::render_values(*item) != item->text) {
      std::fprintf(stderr, "read_values: the values of line %lld do not give it\n",
                   static_cast<long long>(item->line_number));
      status = 3;
    }
  }
  if (const asciify::read_error* error = asciify::reader_error(*opening.reader)) {
    std::fprintf(stderr, "read_values: %s (input byte %lld)\n", error->message.c_str(),
                 static_cast<long long>(error->input_byte));
    return 2;
  }
  asciify::reader_opening again = asciify::open_reader_file(argv[1]);
  long long runs = 0, rows = 0;
  while (const asciify::record_batch* batch = asciify::next_batch(*again.reader, 4096)) {
    ++runs;
    rows += batch->rows;
  }
  std::fprintf(stderr, "%lld runs of one layout, %lld rows\n", runs, rows);
  return status;
}
