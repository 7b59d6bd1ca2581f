#include <string>
#include <vector>

#include "driver/command_line.h"
#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>

// Windows gives the arguments in UTF-16; the program works on UTF-8 throughout (file names are
// turned back into UTF-16 where files are opened). Messages in UTF-8 show as written on a
// console switched to UTF-8 for the run.
int wmain(int argc, wchar_t** argv) {
  asciify::platform::use_binary_standard_streams();
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(asciify::platform::utf8_from_wide(argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  const UINT console_code_page = GetConsoleOutputCP();
  if (console_code_page != 0) SetConsoleOutputCP(CP_UTF8);
  const int status = asciify::run_command_line(argc, pointers.data());
  if (console_code_page != 0) SetConsoleOutputCP(console_code_page);
  return status;
}
#else
int main(int argc, char** argv) {
  asciify::platform::use_binary_standard_streams();
  return asciify::run_command_line(argc, argv);
}
#endif
