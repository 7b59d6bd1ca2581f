#include "tests/e2e/run_asciify.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace asciify::testing {
namespace {

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Runs `argv` with this environment plus ASCIIFY, standard output and standard error captured.
command_result spawn(std::vector<std::string> argv, const std::string& stdin_path) {
  scratch_dir streams;
  const std::string out_path = streams.file("stdout");
  const std::string err_path = streams.file("stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(
      &actions, 0, stdin_path.empty() ? "/dev/null" : stdin_path.c_str(), O_RDONLY, 0);
  for (const auto& [fd, path] : {std::pair{1, &out_path}, std::pair{2, &err_path}}) {
    posix_spawn_file_actions_addopen(&actions, fd, path->c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  std::vector<std::string> env{std::string("ASCIIFY=") + ASCIIFY_BINARY};
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  std::vector<char*> argv_pointers = pointers(argv);
  std::vector<char*> env_pointers = pointers(env);

  pid_t pid = 0;
  command_result result;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argv_pointers.data(),
                  env_pointers.data()) == 0) {
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace

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
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

command_result run_command(const std::vector<std::string>& args, const std::string& stdin_path) {
  std::vector<std::string> argv{ASCIIFY_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return spawn(argv, stdin_path);
}

command_result convert_file(const std::string& input) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), input);
  command_result result = run_command({dir.file("in.dat"), dir.file("out.txt")});
  result.output = read_file(dir.file("out.txt"));
  return result;
}

command_result run_shell(const std::string& script, const std::string& dir) {
  return spawn({"/bin/sh", "-c", "cd '" + dir + "' && (" + script + ")"}, "");
}

}  // namespace asciify::testing
