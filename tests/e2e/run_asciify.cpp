#include "tests/e2e/run_asciify.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include "platform/files.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace asciify::test_support {
namespace {

#ifdef _WIN32

// One argument as the C runtime of the started program splits it again: in quotes, with
// backslashes doubled where they come before a quote.
std::wstring quoted(const std::wstring& argument) {
  std::wstring text = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    text.push_back(c);
  }
  text.append(2 * backslashes, L'\\');
  return text + L"\"";
}

HANDLE open_for_child(const std::string& path, bool for_writing) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(platform::wide_from_utf8(path).c_str(),
                     for_writing ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherited, for_writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Runs `argv` with standard output and standard error captured; the status is the exit code.
command_result spawn(const std::vector<std::string>& argv, const std::string& stdin_path,
                     const std::string& dir) {
  scratch_dir streams;
  const std::string out_path = streams.file("stdout");
  const std::string err_path = streams.file("stderr");
  std::wstring command_line;
  for (const std::string& argument : argv) {
    if (!command_line.empty()) command_line += L' ';
    command_line += quoted(platform::wide_from_utf8(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = open_for_child(stdin_path.empty() ? "NUL" : stdin_path, false);
  startup.hStdOutput = open_for_child(out_path, true);
  startup.hStdError = open_for_child(err_path, true);
  const std::wstring wide_dir = platform::wide_from_utf8(dir);
  PROCESS_INFORMATION process{};
  command_result result;
  // A process start that fails under a loaded emulator is tried again before the run counts
  // as failed; the reason is kept for the test's message.
  DWORD start_error = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       dir.empty() ? nullptr : wide_dir.c_str(), &startup, &process)) {
      start_error = 0;
      break;
    }
    start_error = GetLastError();
    Sleep(500);
  }
  if (start_error == 0) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    CloseHandle(handle);
  }
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  if (start_error != 0) {
    result.err += "could not start " + argv[0] + ": error " + std::to_string(start_error) + "\n";
  }
  return result;
}

#else

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Runs `argv` with this environment plus ASCIIFY, standard output and standard error captured.
command_result spawn(std::vector<std::string> argv, const std::string& stdin_path,
                     const std::string& dir) {
  if (!dir.empty()) {
    // posix_spawn cannot change directory: a shell does, and then becomes the program.
    argv.insert(argv.begin(), {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", dir});
  }
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

#endif

}  // namespace

command_result run_command(const std::vector<std::string>& args, const std::string& stdin_path,
                           const std::string& dir) {
  std::vector<std::string> argv{ASCIIFY_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return spawn(argv, stdin_path, dir);
}

command_result run_program(const std::vector<std::string>& argv, const std::string& stdin_path,
                           const std::string& dir) {
  return spawn(argv, stdin_path, dir);
}

command_result convert_file(const std::string& input) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), input);
  command_result result = run_command({dir.file("in.dat"), dir.file("out.txt")});
  result.output = read_file(dir.file("out.txt"));
  return result;
}

command_result run_shell(const std::string& script, const std::string& dir) {
#ifdef _WIN32
  throw std::logic_error("no POSIX shell to run: " + script + " (in " + dir + ")");
#else
  return spawn({"/bin/sh", "-c", "cd '" + dir + "' && (" + script + ")"}, "", "");
#endif
}

}  // namespace asciify::test_support
