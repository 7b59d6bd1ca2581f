// The handler touches only what async-signal-safe calls allow: static buffers, written while
// the handler could not read them (their flag cleared), write(2) and unlink(2).
#include "platform/signals.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>

#include "platform/files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace asciify::platform {
namespace {

constexpr size_t kMaxErased = 256;
constexpr size_t kMaxName = 4096;

#ifdef _WIN32
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGBREAK};
using signal_action = void (*)(int);
using name_char = wchar_t;
#else
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
using signal_action = struct sigaction;
using name_char = char;
#endif

signal_action previous_actions[std::size(kEndingSignals)];
int holders = 0;
std::atomic<size_t> erased_length{0};
char blanks[kMaxErased + 2];  // "\r", spaces, "\r"
std::atomic<bool> removal_armed{false};
name_char removed_name[kMaxName + 1];

void end_by_signal(int signal_number) {
  const size_t length = erased_length.load();
  if (length > 0) {
    blanks[length + 1] = '\r';
    write_some(kStandardError, blanks, length + 2);
  }
  if (removal_armed.load()) {
#ifdef _WIN32
    _wunlink(removed_name);
#else
    unlink(removed_name);
#endif
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

#ifdef _WIN32
void install_handlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    previous_actions[i] = std::signal(kEndingSignals[i], end_by_signal);
    if (previous_actions[i] == SIG_IGN) std::signal(kEndingSignals[i], SIG_IGN);
  }
}

void restore_handlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    std::signal(kEndingSignals[i], previous_actions[i]);
  }
}
#else
void install_handlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], nullptr, &previous_actions[i]);
    if (previous_actions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = end_by_signal;
    sigemptyset(&action.sa_mask);
    sigaction(kEndingSignals[i], &action, nullptr);
  }
}

void restore_handlers() {
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
  }
}
#endif

}  // namespace

void catch_ending_signals() {
  if (holders++ > 0) return;
  std::memset(blanks, ' ', sizeof blanks);
  blanks[0] = '\r';
  install_handlers();
}

void release_ending_signals() {
  if (holders == 0 || --holders > 0) return;
  restore_handlers();
}

void set_line_to_erase(size_t length) {
  erased_length.store(std::min(length, kMaxErased));
}

void set_file_to_remove(const std::string& name) {
  removal_armed.store(false);
#ifdef _WIN32
  const std::wstring wide = wide_from_utf8(name);
#else
  const std::string& wide = name;
#endif
  if (name.empty() || wide.size() > kMaxName) return;
  std::copy(wide.begin(), wide.end(), removed_name);
  removed_name[wide.size()] = 0;
  removal_armed.store(true);
}

}  // namespace asciify::platform
