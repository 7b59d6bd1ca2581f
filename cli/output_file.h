// The file or standard stream that receives a program's output, and the identity of files,
// by which an input is kept from being overwritten by its own output. A regular file is
// written in place, or beside its name and moved into place only when the run succeeds, so
// that a failed run leaves no output behind (and never a half-written file where a good one
// stood).
#pragma once

#include <cstdint>
#include <string>

#include "asciify/sinks.h"

namespace asciify::cli {

// What a name or an open descriptor refers to.
struct file_identity {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  bool regular = false;
  bool directory = false;
  int64_t size = -1;   // of a regular file
  uint64_t links = 1;  // names the file has (hard links)
  // A terminal, a pipe, a socket or a device such as the null device: reading and writing it
  // at once destroys nothing stored.
  bool stream = false;
};

file_identity identity_of_descriptor(int descriptor);
// The file a name refers to, following symbolic links; none when it does not exist.
file_identity identity_of_path(const char* name);

// True when both refer to the same stored file (not a stream).
bool same_stored_file(const file_identity& a, const file_identity& b);

struct destination {
  int descriptor = -1;
  bool owned = false;  // opened here (not standard output): closed at the end
  bool regular = false;
  bool terminal = false;
  // Written beside its name: the name it takes when the run succeeds, and the one it is
  // written under (both empty when written in place).
  std::string final_name;
  std::string temporary_name;
  int removal_slot = -1;  // of the temporary file, among those a signal removes
  // Moved into place when its sink is closed, so that a failed move is the run's failure
  // before its summary; else by settle_destination.
  bool move_at_close = false;
};

// Standard output as the destination.
destination standard_output_destination();

// Opens (creates or empties) the file `name` for writing. Returns 0, or the system's error
// number.
int open_destination(const char* name, destination* opened);

// Opens a new file beside `name` (named `name` + `suffix` + a number, in the folder of the file
// a symbolic link `name` points to), with the old file's mode (and owner where allowed), to be
// moved into place by settle_destination; a signal that ends the process meanwhile removes it.
// Written in place instead: a name that is no regular file (a device, a pipe), a file with
// more than one name (the others see the new contents), a link that points nowhere, a file in
// a folder where no file can be made. Returns 0, or the system's error number.
int open_destination_beside(const char* name, const char* suffix, destination* opened);

// Closes the destination if it was opened here. Returns 0, or the system's error number.
int close_destination(destination& target);

// After the run, for a destination written beside its name: moves it into place when `keep`,
// else removes it. Returns 0, or the system's error number of a failed move (the file is then
// removed).
int settle_destination(destination& target, bool keep);

// A sink that writes to the destination's descriptor, cuts a regular file and closes it (and
// moves it into place, with move_at_close).
byte_sink destination_sink(destination& target);

}  // namespace asciify::cli
