/* Reads a file with the asciify library's C interface: prints every line the converter writes,
 * and checks that every data record's values, written again by the converter's own field
 * writers, give its line. Status 0, 2 after an error of the file, 3 when a record's values do
 * not give its line.
 *
 *   cc read_lines.c $(pkg-config --cflags --libs asciify) -o read_lines && ./read_lines IN */
#include <asciify/asciify.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  asciify_reader* reader;
  int kind, status = 0;
  if (argc != 2 || asciify_open_file(&reader, argv[1]) < 0) {
    fprintf(stderr, "read_lines: %s\n",
            argc != 2 ? "usage: read_lines IN" : asciify_error_message(reader));
    return 1;
  }
  while ((kind = asciify_next(reader)) > 0) {
    const char *text, *again;
    size_t size, again_size;
    asciify_line(reader, &text, &size);
    fwrite(text, 1, size, stdout);
    if (kind == ASCIIFY_DATA_RECORD && (asciify_render_record(reader, &again, &again_size) < 0 ||
                                        again_size != size || memcmp(again, text, size) != 0)) {
      fprintf(stderr, "read_lines: the values of line %lld do not give it\n",
              (long long)asciify_line_number(reader));
      status = 3;
    }
  }
  if (kind < 0) {
    fprintf(stderr, "read_lines: %s (input byte %lld)\n", asciify_error_message(reader),
            (long long)asciify_error_input_byte(reader));
    status = 2;
  }
  asciify_close(reader);
  return status;
}
