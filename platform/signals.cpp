// The handler touches only what async-signal-safe calls allow: static buffers, written while
// the handler could not read them (their flag cleared), write(2) and unlink(2).
#include "platform/signals.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/files.h"

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX  // std::min, not the header's macro
#endif
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
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
std::mutex holders_lock;  // the handlers are put in place and taken away under it
int holders = 0;
std::atomic<size_t> erased_length{0};
char blanks[kMaxErased + 2];  // "\r", spaces, "\r"

// A file to remove: free, being filled in or made (the handler waits), or armed.
enum slot_state : int { kFree, kFilling, kArmed };
struct removal_slot {
  std::atomic<int> state{kFree};
  name_char name[kMaxName + 1];
};
removal_slot removals[kMaxFilesToRemove];

void remove_file_now(const name_char* name) {
#ifdef _WIN32
  _wunlink(name);
#else
  unlink(name);
#endif
}

// Waits, up to a second, while another thread is between naming a file and making it, so the
// file made then is removed too.
void wait_for_filling_slots() {
  for (int waited = 0; waited < 1000; ++waited) {
    const bool filling =
        std::any_of(std::begin(removals), std::end(removals),
                    [](const removal_slot& s) { return s.state.load() == kFilling; });
    if (!filling) return;
#ifdef _WIN32
    Sleep(1);
#else
    const timespec millisecond{0, 1000000};
    nanosleep(&millisecond, nullptr);
#endif
  }
}

void end_by_signal(int signal_number) {
  const size_t length = erased_length.load();
  if (length > 0) {
    blanks[length + 1] = '\r';
    write_some(kStandardError, blanks, length + 2);
  }
  wait_for_filling_slots();
  for (removal_slot& slot : removals) {
    if (slot.state.load() == kArmed) remove_file_now(slot.name);
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
  const std::lock_guard<std::mutex> lock(holders_lock);
  if (holders++ > 0) return;
  std::memset(blanks, ' ', sizeof blanks);
  blanks[0] = '\r';
  install_handlers();
}

void release_ending_signals() {
  const std::lock_guard<std::mutex> lock(holders_lock);
  if (holders == 0 || --holders > 0) return;
  restore_handlers();
}

void fail_writes_past_the_size_limit() {
#ifndef _WIN32
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(SIGXFSZ, &action, nullptr);
#endif
}

void set_line_to_erase(size_t length) {
  erased_length.store(std::min(length, kMaxErased));
}

#ifndef _WIN32
// The signal mask of a thread holding a file back, restored when the file settles.
thread_local sigset_t mask_before_hold;
#endif

// Holds the ending signals back on this thread (on Windows they reach the handler on a thread
// of their own, so there is nothing to hold).
void hold_signals_here() {
#ifndef _WIN32
  sigset_t ending;
  sigemptyset(&ending);
  for (const int s : kEndingSignals) sigaddset(&ending, s);
  pthread_sigmask(SIG_BLOCK, &ending, &mask_before_hold);
#endif
}

void let_signals_through_here() {
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &mask_before_hold, nullptr);
#endif
}

int hold_file_to_remove(const std::string& name) {
#ifdef _WIN32
  const std::wstring wide = wide_from_utf8(name);
#else
  const std::string& wide = name;
#endif
  if (name.empty() || wide.size() > kMaxName) return -1;
  hold_signals_here();
  for (size_t i = 0; i < std::size(removals); ++i) {
    int expected = kFree;
    if (!removals[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::copy(wide.begin(), wide.end(), removals[i].name);
    removals[i].name[wide.size()] = 0;
    return static_cast<int>(i);
  }
  let_signals_through_here();
  return -1;
}

void settle_file_to_remove(int slot, bool made) {
  if (slot < 0 || slot >= static_cast<int>(std::size(removals))) return;
  removals[slot].state.store(made ? kArmed : kFree);
  let_signals_through_here();
}

void drop_file_to_remove(int slot) {
  if (slot >= 0 && slot < static_cast<int>(std::size(removals))) removals[slot].state.store(kFree);
}

}  // namespace asciify::platform
