// The asciify command: checks the arguments, opens both files, converts, reports.
#pragma once

#include <cstddef>

namespace asciify {

// Buffers of the input stream and of an output that is a regular file: large, so that reads
// and writes are few.
constexpr size_t kInputBufferSize = 1 << 16;
constexpr size_t kOutputBufferSize = 1 << 18;

// Runs the command with its argument vector and returns the exit status: 0 converted,
// 1 usage error or a file that cannot be opened, 2 a conversion that failed. A single
// argument --help (-h) or --version (-V) prints the help or the version and returns 0. The
// name "-" stands for standard input as the input and standard output as the output.
int run_command_line(int argc, char** argv);

}  // namespace asciify
