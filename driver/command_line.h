// The asciify command: checks the arguments, opens both files, converts, reports.
#pragma once

namespace asciify {

// Runs the command with its argument vector and returns the exit status: 0 converted,
// 1 usage error or a file that cannot be opened, 2 a conversion that failed.
int run_command_line(int argc, char** argv);

}  // namespace asciify
