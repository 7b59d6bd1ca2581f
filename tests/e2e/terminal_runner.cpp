#include "tests/e2e/terminal_runner.h"

#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace asciify::test_support {

#ifdef _WIN32
terminal_result run_in_terminal(const std::string& script) {
  throw std::logic_error("no pseudo-terminal to run: " + script);
}
#else

terminal_result run_in_terminal(const std::string& script) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> texts{"/bin/sh", "-c", script, std::string("ASCIIFY=") + ASCIIFY_BINARY,
                                 "ASCIIFY_PROGRESS_DELAY_MS=0"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string(*entry).starts_with("ASCIIFY_PROGRESS_DELAY_MS=")) texts.emplace_back(*entry);
  }
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  pointers.insert(pointers.begin() + 3, nullptr);  // argv, then the environment

  struct winsize size = {};
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
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, STDIN_FILENO) < 0) _exit(126);
    close(in);
    execve(pointers[0], pointers.data(), pointers.data() + 4);
    _exit(127);
  }

  terminal_result result;
  char buffer[4096];
  for (ssize_t got; (got = read(master, buffer, sizeof buffer)) != 0;) {
    if (got > 0) result.received.append(buffer, static_cast<size_t>(got));
    if (got < 0 && errno != EINTR) break;  // EIO once the child's side of the terminal closed
  }
  close(master);
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return result;
}
#endif

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
    if (c == '\r') cursor = 0;
    if (c == '\n') finish_line();
    if (c == '\r' || c == '\n') continue;
    if (cursor < line.size()) line[cursor] = c;
    if (cursor >= line.size()) line.push_back(c);
    ++cursor;
  }
  if (line.find_first_not_of(' ') != std::string::npos) finish_line();
  return lines;
}

}  // namespace asciify::test_support
