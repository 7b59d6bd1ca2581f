// The binify command: options, both files, the packing run and its report.
#pragma once

namespace asciify {

// Runs binify with its argument vector and returns the exit status: 0 packed, 1 usage error or
// a file that cannot be opened, 2 a run that failed or a line that no file can carry (then no
// output file is left).
int run_binify(int argc, char** argv);

}  // namespace asciify
