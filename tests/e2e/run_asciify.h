// Runs the built asciify executable as a user would and captures everything it produces.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_streams.h"

namespace asciify::test_support {

struct command_result {
  int status = -1;     // exit status
  std::string out;     // standard output
  std::string err;     // standard error
  std::string output;  // contents of the output file (convert_file only)
};

// Runs asciify with `args` (no program name), standard input from `stdin_path` when given (else
// from the null device), in the directory `dir` when given.
command_result run_command(const std::vector<std::string>& args, const std::string& stdin_path = "",
                           const std::string& dir = "");

// Runs the program `argv[0]` with the rest of `argv`, as run_command runs asciify.
command_result run_program(const std::vector<std::string>& argv, const std::string& stdin_path = "",
                           const std::string& dir = "");

// Writes `input` to a file, converts it to another file in the same directory and returns
// what the run produced.
command_result convert_file(const std::string& input);

// Runs `script` with /bin/sh -c in the directory `dir`, the environment variable ASCIIFY
// naming the built executable, standard input from /dev/null unless the script redirects it.
// Only where there is a POSIX shell: tests that need one skip themselves elsewhere.
command_result run_shell(const std::string& script, const std::string& dir = ".");
#ifdef _WIN32
inline constexpr bool kHavePosixShell = false;
#else
inline constexpr bool kHavePosixShell = true;
#endif

}  // namespace asciify::test_support
