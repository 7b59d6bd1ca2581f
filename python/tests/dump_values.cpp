// Prints every line's kind, line number, input byte and format code as the library's reader
// gives them, and for a data record its values: integers in decimal, reals in hexadecimal
// (exact), strings as the hexadecimal of their bytes. One line each; "error" and the message
// at the end when the reading failed.
//
//   dump_values IN
#include <asciify/reader.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dump_values IN\n");
    return 1;
  }
  asciify::reader_opening opening = asciify::open_reader_file(argv[1]);
  if (opening.reader == nullptr) {
    std::fprintf(stderr, "dump_values: %s: %s\n", argv[1], opening.reason.c_str());
    return 1;
  }
  while (const asciify::line_item* item = asciify::next_item(*opening.reader)) {
    std::printf("%d %lld %lld %d", static_cast<int>(item->kind),
                static_cast<long long>(item->line_number), static_cast<long long>(item->input_byte),
                item->format_code);
    for (const asciify::field_value& field : item->fields) {
      if (field.type == asciify::value_type::string) {
        std::printf(" s:");
        for (const char c : field.text) std::printf("%02x", static_cast<unsigned char>(c));
      } else if (field.type == asciify::value_type::int32 ||
                 field.type == asciify::value_type::int64) {
        std::printf(" i:%lld", static_cast<long long>(field.integer));
      } else {
        std::printf(" r:%a", field.real);
      }
    }
    std::printf("\n");
  }
  if (const asciify::read_error* error = asciify::reader_error(*opening.reader)) {
    std::printf("error %lld %lld %s\n", static_cast<long long>(error->input_byte),
                static_cast<long long>(error->line), error->message.c_str());
  }
  return 0;
}
