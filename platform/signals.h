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

// Makes a write past the process's file size limit fail (EFBIG), so that it is reported as any
// failed write, instead of SIGXFSZ ending the process and leaving a temporary file behind. For
// a program's start: it changes the whole process (nothing on Windows, which has no such limit).
void fail_writes_past_the_size_limit();

// The characters of a line on standard error that the handler blanks out; 0: none.
void set_line_to_erase(size_t length);

// Files being written under temporary names at once (one a conversion running).
constexpr size_t kMaxFilesToRemove = 64;

// A file (UTF-8) that the handler removes from the moment it exists. hold_file_to_remove()
// takes a slot for the name before the file is made and holds the ending signals back on this
// thread; settle_file_to_remove() then arms the slot (the file was made) or frees it, and lets
// this thread's signals through again. A handler running on another thread meanwhile waits for
// the slot to settle. The slot is -1 when none is free or the name is too long. Threads may
// hold and drop files at once; drop_file_to_remove() forgets an armed file.
int hold_file_to_remove(const std::string& name);
void settle_file_to_remove(int slot, bool made);
void drop_file_to_remove(int slot);

}  // namespace asciify::platform
