#include "input/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

#ifdef _WIN32
#include <io.h>
// The 64-bit forms, so that sizes past 2 GiB are right.
using file_status = struct _stat64;
#define fstat _fstat64
#define read _read
#define close _close
#else
#include <unistd.h>
using file_status = struct stat;
#endif

namespace asciify {

descriptor_opening open_for_reading(const char* name) {
  // Opened by its UTF-8 name, in binary mode, not inherited by child processes.
  const int fd = platform::open_file(name, O_RDONLY);
  if (fd >= 0) return {fd, 0};
#ifdef _WIN32
  // Windows refuses to open a folder with "access denied": say what it is, as POSIX systems do.
  const int error = errno;
  std::error_code ignored;
  if (std::filesystem::is_directory(platform::path_from_utf8(name), ignored)) return {-1, EISDIR};
  return {-1, error};
#else
  return {-1, errno};
#endif
}

int standard_input_descriptor() {
#ifdef _WIN32
  _setmode(0, _O_BINARY);
#endif
  return 0;
}

descriptor_status describe_descriptor(int fd) {
  file_status status;
  descriptor_status result;
  if (::fstat(fd, &status) != 0) {
    result.error = errno;
    return result;
  }
  result.directory = S_ISDIR(status.st_mode);
  result.regular = S_ISREG(status.st_mode);
  if (result.regular) result.size = static_cast<int64_t>(status.st_size);
  return result;
}

raw_read read_descriptor(int fd, uint8_t* buffer, size_t capacity) {
  // Some systems count a read in a 32-bit integer.
  capacity = std::min(capacity, size_t{1} << 30);
  for (;;) {
    const auto got = ::read(fd, buffer, capacity);
    if (got >= 0) return {static_cast<size_t>(got), 0};
    if (errno != EINTR) return {0, errno};
  }
}

void close_descriptor(int fd) {
  ::close(fd);
}

std::string system_error_text(int error) {
  return std::strerror(error);
}

}  // namespace asciify
