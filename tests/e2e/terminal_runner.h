// Runs a program on a pseudo-terminal, the way a user at a terminal would, and captures what
// the terminal receives.
#pragma once

#include <string>
#include <vector>

namespace asciify::testing {

struct terminal_result {
  int status = -1;       // exit status, or 128 + the signal that ended the program
  std::string received;  // every byte the program wrote to the terminal
};

// Runs `argv` (program path first) with standard output and standard error on a new
// pseudo-terminal of 80 columns that passes bytes through unchanged ("\n" is not turned into
// "\r\n"). Standard input comes from `stdin_path` (or /dev/null). The environment is this
// process's, without ASCIIFY_PROGRESS_DELAY_MS, plus the NAME=VALUE entries of `env`.
terminal_result run_in_terminal(const std::vector<std::string>& argv,
                                const std::vector<std::string>& env = {},
                                const std::string& stdin_path = "");

// The lines a terminal shows after receiving `bytes`: "\r" returns to the start of the line,
// "\n" ends it, every other byte is drawn at the cursor, over what was there. Trailing
// spaces are dropped; an unfinished last line is included when anything is left on it.
std::vector<std::string> screen_lines(const std::string& bytes);

}  // namespace asciify::testing
