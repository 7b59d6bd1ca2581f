#include "pack/command_line.h"
#include "platform/files.h"

#ifdef _WIN32
// Windows gives the arguments in UTF-16; the packer works on UTF-8 names throughout.
int wmain(int argc, wchar_t** argv) {
  return asciify::platform::run_with_utf8_arguments(argc, argv, binify::run_command_line);
}
#else
int main(int argc, char** argv) {
  return binify::run_command_line(argc, argv);
}
#endif
