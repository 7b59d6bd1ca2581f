// The output file of a run, written beside its final name and put in place only when the run
// succeeds, so that a failed or refused run leaves no output behind (and never a half-written
// file where a good one stood). Standard output and files that are no regular files (devices,
// pipes) are written directly.
#pragma once

#include <cstdio>
#include <string>

namespace binify {

struct output_file {
  FILE* stream = nullptr;
  std::string final_name;  // empty when written directly
  std::string temporary_name;
};

// Opens the output named `name` ("-" is standard output). Returns 0, or the system's error
// number when it cannot be opened.
int open_output(const char* name, output_file* out);

// Whether the output named `name` is the very file that `input` reads (by any name or link):
// writing it would replace the input.
bool same_file(FILE* input, const char* name);

// Whether the stream reads a directory.
bool is_directory(FILE* stream);

// Closes the stream and, when `keep` is set, moves the file into place. Returns false when
// closing or moving failed; without `keep` the temporary file is removed.
bool close_output(output_file& out, bool keep);

}  // namespace binify
