// The only place where the converted text meets the operating system's files.
#include "output/destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace asciify {
namespace {

// Larger writes are handed on in steps; some systems refuse single writes of 2 GiB or more.
constexpr size_t kLargestWrite = size_t{1} << 30;

file_identity identity_of(const struct stat& status) {
  file_identity identity;
  identity.exists = true;
  identity.device = static_cast<uint64_t>(status.st_dev);
  identity.inode = static_cast<uint64_t>(status.st_ino);
  identity.regular = S_ISREG(status.st_mode);
  identity.directory = S_ISDIR(status.st_mode);
  if (identity.regular) identity.size = static_cast<int64_t>(status.st_size);
  identity.stream = S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
  return identity;
}

size_t write_to_descriptor(void* context, const char* bytes, size_t count, int* error) {
  const int descriptor = static_cast<const destination*>(context)->descriptor;
  for (;;) {
    const ssize_t written = ::write(descriptor, bytes, std::min(count, kLargestWrite));
    if (written >= 0) return static_cast<size_t>(written);
    if (errno != EINTR) {
      *error = errno;
      return 0;
    }
  }
}

bool cut_descriptor(void* context, int64_t count) {
  const auto* target = static_cast<const destination*>(context);
  if (!target->regular) return false;
  const off_t end = lseek(target->descriptor, 0, SEEK_CUR);
  if (end < count) return false;
  const off_t kept = end - static_cast<off_t>(count);
  return ftruncate(target->descriptor, kept) == 0 && lseek(target->descriptor, kept, SEEK_SET) >= 0;
}

destination described(int descriptor, bool owned) {
  destination target;
  target.descriptor = descriptor;
  target.owned = owned;
  struct stat status;
  target.regular = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  target.terminal = isatty(descriptor) == 1;
  return target;
}

}  // namespace

file_identity identity_of_descriptor(int descriptor) {
  struct stat status;
  if (fstat(descriptor, &status) != 0) return file_identity{};
  return identity_of(status);
}

file_identity identity_of_path(const char* name) {
  struct stat status;
  if (stat(name, &status) != 0) return file_identity{};
  return identity_of(status);
}

bool same_stored_file(const file_identity& a, const file_identity& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode && !a.stream;
}

destination standard_output_destination() {
  return described(STDOUT_FILENO, false);
}

int open_destination(const char* name, destination* opened) {
  int descriptor;
  do {
    descriptor = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, 0666);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return errno;
  *opened = described(descriptor, true);
  return 0;
}

int close_destination(destination& target) {
  if (!target.owned || target.descriptor < 0) return 0;
  const int result = ::close(target.descriptor);
  target.descriptor = -1;
  return result == 0 || errno == EINTR ? 0 : errno;
}

output_sink destination_sink(destination& target) {
  return output_sink{write_to_descriptor, cut_descriptor, &target};
}

}  // namespace asciify
