#include "pack/output_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "output/destination.h"
#include "platform/files.h"

#ifdef _WIN32
#include <io.h>
#define fileno _fileno
#define fdopen _fdopen
#endif

namespace binify {
namespace {

using asciify::file_identity;
using asciify::identity_of_descriptor;
using asciify::identity_of_path;
namespace platform = asciify::platform;

bool is_other_than_regular_file(const char* name) {
  const file_identity identity = identity_of_path(name);
  return identity.exists && !identity.regular;
}

// Creates the file, which must not exist yet, for writing; null when it cannot.
FILE* create_new_file(const std::string& name) {
  const int descriptor = platform::open_file(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (descriptor < 0) return nullptr;
  FILE* stream = fdopen(descriptor, "wb");
  if (stream == nullptr) platform::close_file(descriptor);
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

// Replaces `to` by `from` (names in UTF-8); on Windows too, where the file system's rename
// does not replace an existing file.
bool move_into_place(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(platform::path_from_utf8(from), platform::path_from_utf8(to), error);
  if (!error) return true;
  // The reason as an errno value, for the message that follows.
  const std::error_condition reason = error.default_error_condition();
  errno = reason.category() == std::generic_category() ? reason.value() : EIO;
  return false;
}

void remove_file(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(platform::path_from_utf8(name), ignored);
}

}  // namespace

int open_output(const char* name, output_file* out) {
  *out = {};
  if (std::strcmp(name, "-") == 0) {
    out->stream = stdout;
    return 0;
  }
  if (is_other_than_regular_file(name)) {
    out->stream = platform::open_stream(name, "wb");
    return out->stream != nullptr ? 0 : errno;
  }
  out->final_name = name;
  out->stream = create_beside(out->final_name, &out->temporary_name);
  return out->stream != nullptr ? 0 : errno;
}

bool same_file(FILE* input, const char* name) {
  const file_identity output = std::strcmp(name, "-") == 0
                                   ? identity_of_descriptor(platform::kStandardOutput)
                                   : identity_of_path(name);
  return asciify::same_stored_file(identity_of_descriptor(fileno(input)), output);
}

bool is_directory(FILE* stream) {
  return identity_of_descriptor(fileno(stream)).directory;
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
  remove_file(out.temporary_name);
  return false;
}

}  // namespace binify
