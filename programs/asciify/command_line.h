// The asciify command: checks the arguments, opens both files, converts, reports.
#pragma once

#include <cstddef>

namespace asciify {

// The buffer of an output that is a regular file: large, so that writes are few.
constexpr size_t kOutputBufferSize = 1 << 18;

// Runs the command with its argument vector and returns the exit status: 0 converted,
// 1 usage error, a file that cannot be opened or IN and OUT the same file, 2 a conversion that
// failed. The name "-" stands for standard input as the input and standard output as the
// output.
int run_command_line(int argc, char** argv);

}  // namespace asciify
