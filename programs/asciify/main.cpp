#include "platform/files.h"
#include "platform/signals.h"
#include "programs/asciify/command_line.h"

#ifdef _WIN32
// Windows gives the arguments in UTF-16; the program works on UTF-8 throughout (file names are
// turned back into UTF-16 where files are opened).
int wmain(int argc, wchar_t** argv) {
  return asciify::platform::run_with_utf8_arguments(argc, argv, asciify::run_command_line);
}
#else
int main(int argc, char** argv) {
  asciify::platform::use_binary_standard_streams();
  asciify::platform::fail_writes_past_the_size_limit();
  return asciify::run_command_line(argc, argv);
}
#endif
