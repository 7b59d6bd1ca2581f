#include "platform/files.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace asciify::platform {
namespace {

// Some systems refuse single writes of 2 GiB or more, or count them in 32 bits.
constexpr size_t kLargestWrite = size_t{1} << 30;

}  // namespace

std::filesystem::path path_from_utf8(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string utf8_from_path(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

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

long long write_some(int descriptor, const char* bytes, size_t count) {
  return _write(descriptor, bytes, static_cast<unsigned>(std::min(count, kLargestWrite)));
}

int close_file(int descriptor) {
  return _close(descriptor);
}

bool is_terminal(int descriptor) {
  DWORD mode;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), &mode) != 0;
}

int run_with_utf8_arguments(int argc, wchar_t** argv, int (*run)(int, char**)) {
  use_binary_standard_streams();
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(utf8_from_wide(argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  const UINT console_code_page = GetConsoleOutputCP();
  if (console_code_page != 0) SetConsoleOutputCP(CP_UTF8);
  const int status = run(argc, pointers.data());
  if (console_code_page != 0) SetConsoleOutputCP(console_code_page);
  return status;
}

void use_binary_standard_streams() {
  for (const int descriptor : {kStandardInput, kStandardOutput, kStandardError}) {
    _setmode(descriptor, _O_BINARY);
  }
}

#else

int open_file(const char* name, int flags, int permissions) {
  int descriptor;
  do {
    descriptor = ::open(name, flags | O_CLOEXEC, permissions);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

std::FILE* open_stream(const char* name, const char* mode) {
  return std::fopen(name, mode);
}

long long write_some(int descriptor, const char* bytes, size_t count) {
  for (;;) {
    const ssize_t written = ::write(descriptor, bytes, std::min(count, kLargestWrite));
    if (written >= 0 || errno != EINTR) return written;
  }
}

int close_file(int descriptor) {
  return ::close(descriptor);
}

bool is_terminal(int descriptor) {
  return isatty(descriptor) == 1;
}

void use_binary_standard_streams() {}

#endif

}  // namespace asciify::platform
