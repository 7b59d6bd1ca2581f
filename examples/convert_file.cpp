// A program of its own that converts a file with the asciify library, as the asciify command
// does (the same text, messages and exit status), reading it with the C library. The build
// links it with the installed library (see CMakeLists.txt here, and the tests); the benchmarks
// link it with a library whose real-number text is printed step by step, as the yardstick of
// the whole-conversion benchmark (bench/plain_asciify).
//
//   convert_file IN OUT
#include <cerrno>
#include <cstdio>
#include <memory>

#include "asciify/converter.h"

namespace {

size_t write_file(void* context, const char* data, size_t size, int* error) {
  const size_t written = std::fwrite(data, 1, size, static_cast<FILE*>(context));
  if (written == 0) *error = errno;
  return written;
}

int close_file(void* context) {
  return std::fclose(static_cast<FILE*>(context)) == 0 ? 0 : errno;
}

void print(void*, asciify::message_kind kind, const char* text, size_t size) {
  std::fwrite(text, 1, size, kind == asciify::message_kind::error ? stderr : stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_file IN OUT\n");
    return 1;
  }
  FILE* input = std::fopen(argv[1], "rb");
  FILE* output = input != nullptr ? std::fopen(argv[2], "wb") : nullptr;
  if (output == nullptr) {
    std::fprintf(stderr, "convert_file: cannot open %s\n", input == nullptr ? argv[1] : argv[2]);
    return 1;
  }
  asciify::convert_options options;
  options.input_name = argv[1];
  options.output_name = argv[2];
  const asciify::converter_ptr c =
      asciify::make_converter(options, {write_file, nullptr, close_file, output}, {print, nullptr});
  char piece[1 << 16];
  size_t got = 0;
  do {
    got = std::fread(piece, 1, sizeof piece, input);
  } while (asciify::convert_bytes(*c, piece, got) && got == sizeof piece);
  const bool read_failed = std::ferror(input) != 0;
  std::fclose(input);
  return asciify::finish_converting(*c, read_failed ? "read error" : nullptr);
}
