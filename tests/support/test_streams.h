// Files and streams for tests that work alike on POSIX systems and on Windows: scratch folders
// and files named in UTF-8, text collected from a stream, the null device, and environment
// variables.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace asciify::test_support {

// A fresh scratch directory for one test, removed with its contents when the object goes.
struct scratch_dir {
  std::string path;
  scratch_dir();
  ~scratch_dir();
  std::string file(const std::string& name) const { return path + "/" + name; }
  // Writes `bytes` into the file `name` in it and returns the file's path.
  std::string write(const std::string& name, const std::string& bytes) const;
};

// Files named in UTF-8, as the program names them.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
void make_hard_link(const std::string& target, const std::string& link);

// A stream that collects what is written to it: in memory on POSIX systems, in a temporary
// file on Windows, which has no memory streams. It is closed here unless someone else closed
// it (and set `file` to nullptr); its text can be read either way.
struct memory_stream {
  memory_stream();
  ~memory_stream();
  memory_stream(const memory_stream&) = delete;
  memory_stream& operator=(const memory_stream&) = delete;
  std::string text();

  FILE* file = nullptr;

 private:
#ifdef _WIN32
  std::string path_;
#else
  char* data_ = nullptr;
  size_t size_ = 0;
#endif
};

// The device that swallows every byte and reads as empty.
#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr const char* kNullDevice = "/dev/null";
#endif

// Sets the environment variable `name` to `value`, or removes it when `value` is nullptr.
void set_environment(const char* name, const char* value);

}  // namespace asciify::test_support
