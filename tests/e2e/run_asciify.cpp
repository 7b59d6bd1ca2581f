#include "tests/e2e/run_asciify.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace asciify::testing {

scratch_dir::scratch_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "asciify-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

command_result run_command(const std::vector<std::string>& args, const std::string& stdin_path) {
  scratch_dir streams;
  const std::string out_path = streams.file("stdout");
  const std::string err_path = streams.file("stderr");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(
      &actions, 0, stdin_path.empty() ? "/dev/null" : stdin_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);

  std::vector<std::string> argv_text{ASCIIFY_BINARY};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  command_result result;
  if (posix_spawn(&pid, ASCIIFY_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

command_result convert_file(const std::string& input) {
  scratch_dir dir;
  const std::string in_path = dir.file("in.dat");
  const std::string out_path = dir.file("out.txt");
  write_file(in_path, input);
  command_result result = run_command({in_path, out_path});
  result.output = read_file(out_path);
  return result;
}

command_result run_shell(const std::string& script) {
  scratch_dir streams;
  const std::string out_path = streams.file("stdout");
  const std::string err_path = streams.file("stderr");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);

  std::vector<std::string> env_text;
  for (char** entry = environ; *entry != nullptr; ++entry) env_text.emplace_back(*entry);
  env_text.push_back(std::string("ASCIIFY=") + ASCIIFY_BINARY);
  std::vector<char*> env;
  for (std::string& entry : env_text) env.push_back(entry.data());
  env.push_back(nullptr);
  std::vector<std::string> argv_text{"/bin/sh", "-c", script};
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  command_result result;
  if (posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv.data(), env.data()) == 0) {
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace asciify::testing
