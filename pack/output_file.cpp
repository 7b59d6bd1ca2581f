#include "pack/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define fileno _fileno
#define fdopen _fdopen
#define open _open
#define close _close
#define O_EXCL _O_EXCL
#define O_CREAT _O_CREAT
#define O_WRONLY _O_WRONLY
#define kBinaryFlag _O_BINARY
#else
#include <unistd.h>
#define kBinaryFlag 0
#endif

namespace binify {
namespace {

bool is_other_than_regular_file(const char* name) {
  struct stat status;
  return stat(name, &status) == 0 && !S_ISREG(status.st_mode);
}

// Creates the file, which must not exist yet, for writing; null when it cannot.
FILE* create_new_file(const std::string& name) {
  const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | kBinaryFlag, 0666);
  if (descriptor < 0) return nullptr;
  FILE* stream = fdopen(descriptor, "wb");
  if (stream == nullptr) close(descriptor);
  return stream;
}

// Creates a file that did not exist, beside `name`; no other file is ever overwritten.
FILE* create_beside(const std::string& name, std::string* created) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *created = name + ".binify-" + std::to_string(attempt);
    if (FILE* stream = create_new_file(*created)) return stream;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

bool move_into_place(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
#ifdef _WIN32
  // Renaming onto an existing file fails there: remove it first.
  if (std::remove(to.c_str()) == 0 && std::rename(from.c_str(), to.c_str()) == 0) return true;
#endif
  return false;
}

}  // namespace

int open_output(const char* name, output_file* out) {
  *out = {};
  if (std::strcmp(name, "-") == 0) {
    out->stream = stdout;
    return 0;
  }
  if (is_other_than_regular_file(name)) {
    out->stream = std::fopen(name, "wb");
    return out->stream != nullptr ? 0 : errno;
  }
  out->final_name = name;
  out->stream = create_beside(out->final_name, &out->temporary_name);
  return out->stream != nullptr ? 0 : errno;
}

bool same_file(FILE* input, const char* name) {
  struct stat in, out;
  const int found = std::strcmp(name, "-") == 0 ? fstat(fileno(stdout), &out) : stat(name, &out);
  // Without file numbers (st_ino 0, as on some systems) nothing is known to be the same.
  return found == 0 && fstat(fileno(input), &in) == 0 && in.st_ino != 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

bool is_directory(FILE* stream) {
  struct stat status;
  return fstat(fileno(stream), &status) == 0 && S_ISDIR(status.st_mode);
}

bool close_output(output_file& out, bool keep) {
  bool ok = std::ferror(out.stream) == 0;
  if (out.stream == stdout) {
    ok = std::fflush(stdout) == 0 && ok;
  } else {
    ok = std::fclose(out.stream) == 0 && ok;
  }
  out.stream = nullptr;
  if (out.final_name.empty()) return ok;
  if (keep && ok && move_into_place(out.temporary_name, out.final_name)) return true;
  std::remove(out.temporary_name.c_str());
  return false;
}

}  // namespace binify
