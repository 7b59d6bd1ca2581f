#include "tests/e2e/terminal_runner.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace asciify::testing {
namespace {

std::vector<std::string> child_environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  const std::string dropped = "ASCIIFY_PROGRESS_DELAY_MS=";
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, dropped.c_str(), dropped.size()) != 0) env.emplace_back(*entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

terminal_result run_in_terminal(const std::vector<std::string>& argv,
                                const std::vector<std::string>& env,
                                const std::string& stdin_path) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> argv_text = argv;
  std::vector<std::string> env_text = child_environment(env);
  std::vector<char*> child_argv = pointers(argv_text);
  std::vector<char*> child_env = pointers(env_text);
  const std::string input = stdin_path.empty() ? "/dev/null" : stdin_path;

  struct winsize size;
  std::memset(&size, 0, sizeof size);
  size.ws_row = 24;
  size.ws_col = 80;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    struct termios modes;
    if (tcgetattr(STDOUT_FILENO, &modes) == 0) {
      modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      modes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(STDOUT_FILENO, TCSANOW, &modes);
    }
    const int in = open(input.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, STDIN_FILENO) < 0) _exit(126);
    close(in);
    execve(child_argv[0], child_argv.data(), child_env.data());
    _exit(127);
  }

  terminal_result result;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got > 0) {
      result.received.append(buffer, static_cast<size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the child's side of the terminal is closed
    }
  }
  close(master);
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return result;
}

std::vector<std::string> screen_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  size_t cursor = 0;
  const auto finish_line = [&] {
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(line);
    line.clear();
    cursor = 0;
  };
  for (const char c : bytes) {
    if (c == '\r') {
      cursor = 0;
    } else if (c == '\n') {
      finish_line();
    } else {
      if (cursor < line.size()) {
        line[cursor] = c;
      } else {
        line.push_back(c);
      }
      ++cursor;
    }
  }
  if (line.find_first_not_of(' ') != std::string::npos) finish_line();
  return lines;
}

}  // namespace asciify::testing
