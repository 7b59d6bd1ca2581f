#include "platform/files.h"

#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#endif

namespace asciify::platform {

#ifdef _WIN32

std::wstring wide_from_utf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8_from_wide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

int open_file(const char* name, int flags, int permissions) {
  return _wopen(wide_from_utf8(name).c_str(), flags | _O_BINARY | _O_NOINHERIT, permissions);
}

std::FILE* open_stream(const char* name, const char* mode) {
  return _wfopen(wide_from_utf8(name).c_str(), wide_from_utf8(mode).c_str());
}

void use_binary_standard_streams() {
  for (const int fd : {0, 1, 2}) _setmode(fd, _O_BINARY);
}

#else

int open_file(const char* name, int flags, int permissions) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, permissions);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::FILE* open_stream(const char* name, const char* mode) {
  return std::fopen(name, mode);
}

void use_binary_standard_streams() {}

#endif

}  // namespace asciify::platform
