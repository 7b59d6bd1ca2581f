// Converts bytes held in memory as a program that uses only the library's public header does:
// fed piece by piece to a converter, the text and both kinds of message collected.
#pragma once

#include <asciify/converter.h>

#include <string>
#include <string_view>

namespace asciify::test_support {

struct library_run {
  int status = -1;
  std::string text;
  std::string errors;  // what the command prints on standard error
  std::string notes;   // ... and on standard output
  convert_report report;
};

// Feeds `input` in pieces of `piece_size` bytes (the last one shorter), the text rendered on a
// second thread when `second_thread` is set.
library_run convert_with_library(std::string_view input, size_t piece_size, bool second_thread);

// The piece sizes a conversion is checked with: single bytes, sizes around the converter's
// reads and lookahead, and the whole input at once.
inline constexpr size_t kPieceSizes[] = {1, 7, 255, 511, 512, 513, 65536};

}  // namespace asciify::test_support
