#include "tests/support/test_streams.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>

#include <atomic>

#include "platform/files.h"
#endif

namespace asciify::test_support {

#ifdef _WIN32

namespace {

// A path in the temporary folder that no other stream of this process uses.
std::string temporary_path() {
  static std::atomic<unsigned> serial{0};
  const auto directory = std::filesystem::temp_directory_path();
  const std::string name = "asciify-test-" + std::to_string(_getpid()) + "-" +
                           std::to_string(serial.fetch_add(1)) + ".tmp";
  return (directory / name).string();
}

std::string contents_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

memory_stream::memory_stream() : path_(temporary_path()) {
  file = platform::open_stream(path_.c_str(), "w+b");
  if (file == nullptr) throw std::runtime_error("cannot create " + path_);
}

memory_stream::~memory_stream() {
  if (file != nullptr) std::fclose(file);
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string memory_stream::text() {
  if (file != nullptr) std::fflush(file);
  return contents_of(path_);
}

void set_environment(const char* name, const char* value) {
  _putenv_s(name, value != nullptr ? value : "");
}

#else

memory_stream::memory_stream() : file(open_memstream(&data_, &size_)) {}

memory_stream::~memory_stream() {
  if (file != nullptr) std::fclose(file);
  std::free(data_);
}

std::string memory_stream::text() {
  if (file != nullptr) std::fflush(file);
  return std::string(data_, size_);
}

void set_environment(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}

#endif

}  // namespace asciify::test_support
