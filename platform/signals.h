// What a signal that ends the process (SIGINT, SIGTERM, SIGHUP and SIGPIPE; on Windows SIGINT,
// SIGTERM and SIGBREAK) undoes first: it erases a progress line on standard error and removes
// a file being written under a temporary name; then the signal ends the process as it would
// have (a shell sees status 128 + its number).
#pragma once

#include <cstddef>
#include <string>

namespace asciify::platform {

// The handlers are in place from a call of catch_ending_signals() to the matching call of
// release_ending_signals() (calls nest). A signal the caller chose to ignore stays ignored.
void catch_ending_signals();
void release_ending_signals();

// The characters of a line on standard error that the handler blanks out; 0: none.
void set_line_to_erase(size_t length);

// Files being written under temporary names at once (one a conversion running).
constexpr size_t kMaxFilesToRemove = 64;

// Adds a file (UTF-8) that the handler removes, and returns its slot for
// drop_file_to_remove; -1 when it cannot be added (all slots taken, a name too long). Threads
// may add and drop files at once.
int add_file_to_remove(const std::string& name);
void drop_file_to_remove(int slot);

}  // namespace asciify::platform
