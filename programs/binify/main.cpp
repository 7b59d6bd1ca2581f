#include "platform/files.h"
#include "platform/signals.h"
#include "programs/binify/command_line.h"

#ifdef _WIN32
// Windows gives the arguments in UTF-16; the packer works on UTF-8 names throughout.
int wmain(int argc, wchar_t** argv) {
  return asciify::platform::run_with_utf8_arguments(argc, argv, asciify::run_binify);
}
#else
int main(int argc, char** argv) {
  asciify::platform::use_binary_standard_streams();
  asciify::platform::fail_writes_past_the_size_limit();
  return asciify::run_binify(argc, argv);
}
#endif
