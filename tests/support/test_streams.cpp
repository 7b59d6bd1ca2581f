#include "tests/support/test_streams.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>

#include <atomic>

#include "platform/files.h"
#endif

namespace asciify::test_support {
namespace {

// A path from a name in UTF-8 (on Windows a plain string would be taken in the ANSI code page).
std::filesystem::path path_of(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

#ifdef _WIN32
// A path in the temporary folder that no other stream of this process uses.
std::string temporary_path() {
  static std::atomic<unsigned> serial{0};
  const auto directory = std::filesystem::temp_directory_path();
  const std::string name = "asciify-test-" + std::to_string(_getpid()) + "-" +
                           std::to_string(serial.fetch_add(1)) + ".tmp";
  return (directory / name).string();
}
#endif

}  // namespace

#ifdef _WIN32

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
  return read_file(path_);
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
  value == nullptr ? unsetenv(name) : setenv(name, value, 1);
}

#endif

scratch_dir::scratch_dir() {
  static std::mt19937_64 random{std::random_device{}()};
  const auto temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = temp / ("asciify-e2e-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      const std::u8string name = candidate.u8string();
      path.assign(name.begin(), name.end());
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch directory");
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_of(path), ignored);
}

std::string scratch_dir::write(const std::string& name, const std::string& bytes) const {
  write_file(file(name), bytes);
  return file(name);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path_of(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path_of(path), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

bool file_exists(const std::string& path) {
  return std::filesystem::exists(path_of(path));
}

void make_hard_link(const std::string& target, const std::string& link) {
  std::filesystem::create_hard_link(path_of(target), path_of(link));
}

}  // namespace asciify::test_support
