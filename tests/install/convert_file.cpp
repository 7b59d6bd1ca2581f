// Converts IN into OUT through the installed library, as the asciify command would, and prints
// the messages where the command prints them.
//
//   convert_file IN OUT
#include <asciify/converter.h>
#include <asciify/version.h>

#include <cerrno>
#include <cstdio>

namespace {

size_t write_to(void* file, const char* data, size_t size, int* error) {
  const size_t written = std::fwrite(data, 1, size, static_cast<FILE*>(file));
  if (written == 0) *error = errno;
  return written;
}

int close_file(void* file) {
  return std::fclose(static_cast<FILE*>(file)) == 0 ? 0 : errno;
}

void print(void*, asciify::message_kind kind, const char* text, size_t size) {
  std::fwrite(text, 1, size, kind == asciify::message_kind::error ? stderr : stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_file IN OUT (asciify %s)\n", ASCIIFY_VERSION);
    return 1;
  }
  FILE* in = std::fopen(argv[1], "rb");
  FILE* out = in != nullptr ? std::fopen(argv[2], "wb") : nullptr;
  if (out == nullptr) return 1;
  asciify::convert_options options;
  options.input_name = argv[1];
  options.output_name = argv[2];
  const asciify::converter_ptr converter =
      asciify::make_converter(options, {write_to, nullptr, close_file, out}, {print, nullptr});
  char piece[4096];
  size_t got = 0;
  do {
    got = std::fread(piece, 1, sizeof piece, in);
  } while (asciify::convert_bytes(*converter, piece, got) && got == sizeof piece);
  std::fclose(in);
  return asciify::finish_converting(*converter);
}
