// Runs a shell script on a pseudo-terminal, the way a user at a terminal would, and captures
// what the terminal receives.
#pragma once

#include <string>
#include <vector>

namespace asciify::test_support {

struct terminal_result {
  int status = -1;       // exit status, or 128 + the signal that ended the program
  std::string received;  // every byte the program wrote to the terminal
};

// Runs `script` with /bin/sh -c, standard output and standard error on a new pseudo-terminal
// of 80 columns that passes bytes through unchanged ("\n" is not turned into "\r\n"), standard
// input from /dev/null. The environment is this process's plus ASCIIFY, naming the built
// executable, and ASCIIFY_PROGRESS_DELAY_MS=0. POSIX systems only: Windows has no
// pseudo-terminals.
terminal_result run_in_terminal(const std::string& script);

// The lines a terminal shows after receiving `bytes`: "\r" returns to the start of the line,
// "\n" ends it, every other byte is drawn at the cursor, over what was there. Trailing
// spaces are dropped; an unfinished last line is included when anything is left on it.
std::vector<std::string> screen_lines(const std::string& bytes);

}  // namespace asciify::test_support
