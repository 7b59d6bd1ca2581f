// The file or standard stream that receives the converted text, and the identity of files,
// by which an input is kept from being overwritten by its own conversion.
#pragma once

#include <cstdint>

#include "output/output_file.h"

namespace asciify {

// What a name or an open descriptor refers to.
struct file_identity {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  bool regular = false;
  bool directory = false;
  int64_t size = -1;  // of a regular file
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
};

// Standard output as the destination.
destination standard_output_destination();

// Opens (creates or empties) the file `name` for writing. Returns 0, or the system's error
// number.
int open_destination(const char* name, destination* opened);

// Closes the destination if it was opened here. Returns 0, or the system's error number.
int close_destination(destination& target);

// A sink that writes to the destination's descriptor and cuts a regular file.
byte_sink destination_sink(destination& target);

}  // namespace asciify
