#include "cli/progress.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/files.h"
#include "platform/signals.h"

namespace asciify::cli {
namespace {

constexpr double kMegabyte = 1e6;
constexpr int kFallbackColumns = 80;
constexpr int kMaxLineLength = 200;
// The clock is read about every kFastCheck to kSlowCheck; the stride between reads stays
// within 1 to kMaxStride calls of update().
constexpr auto kFastCheck = std::chrono::milliseconds(2);
constexpr auto kSlowCheck = std::chrono::milliseconds(20);
constexpr int kMaxStride = 1024;
// Room for the messages held between two refreshes; more would spill onto the line.
constexpr size_t kHeldMessageBuffer = 1 << 16;

using platform::is_terminal;
using platform::kStandardError;
using platform::kStandardOutput;

// The width of the terminal or console that shows the line.
#ifdef _WIN32
int terminal_columns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(kStandardError));
  if (GetConsoleScreenBufferInfo(console, &info) != 0) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return kFallbackColumns;
}
#else
int terminal_columns() {
  struct winsize size;
  if (ioctl(kStandardError, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kFallbackColumns;
}
#endif

void write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const long long written = platform::write_some(fd, data, size);
    // A terminal that cannot be written to shows no progress; nothing to report.
    if (written < 0) return;
    data += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

std::string format_time_left(int64_t remaining_bytes, double bytes_per_second) {
  if (!(bytes_per_second > 0)) return "";
  const double seconds =
      std::ceil(static_cast<double>(std::max<int64_t>(remaining_bytes, 0)) / bytes_per_second);
  if (!(seconds < 1e9)) return "";
  const long long total = static_cast<long long>(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

std::string format_progress_line(const char* program, const progress_numbers& numbers) {
  const double read = static_cast<double>(numbers.bytes_read);
  const double rate = numbers.seconds > 0 ? read / numbers.seconds : 0;
  char part[96];
  std::string line = std::string(program) + ": ";
  if (numbers.total_bytes >= 0) {
    const double total = static_cast<double>(numbers.total_bytes);
    // A file that grows while it is read stays at 100%.
    const int percent =
        total > 0 ? static_cast<int>(std::min(100.0, std::floor(read * 100 / total))) : 100;
    std::snprintf(part, sizeof part, "%.1f of %.1f MB, %d%%", read / kMegabyte, total / kMegabyte,
                  percent);
  } else {
    std::snprintf(part, sizeof part, "%.1f MB", read / kMegabyte);
  }
  line += part;
  std::snprintf(part, sizeof part, ", %.1f MB/s, %lld line%s", rate / kMegabyte,
                static_cast<long long>(numbers.lines_written),
                numbers.lines_written == 1 ? "" : "s");
  line += part;
  if (numbers.total_bytes >= 0) {
    const std::string left = format_time_left(numbers.total_bytes - numbers.bytes_read, rate);
    if (!left.empty()) line += ", " + left + " left";
  }
  return line;
}

int progress_delay_from_environment(const char* variable) {
  const char* text = std::getenv(variable);
  if (text == nullptr || *text == '\0') return kDefaultProgressDelayMs;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > 3600000) return kDefaultProgressDelayMs;
  return static_cast<int>(value);
}

bool progress_wanted(bool input_is_terminal, bool output_is_terminal) {
  return is_terminal(kStandardError) && !input_is_terminal && !output_is_terminal;
}

progress_display::progress_display(const char* program, int64_t total_bytes, bool hold_stdout,
                                   int delay_ms, progress_clock now)
    : program_(program),
      now_(now),
      start_(now()),
      last_check_(start_),
      next_refresh_(start_),
      delay_(std::chrono::milliseconds(delay_ms)),
      total_bytes_(total_bytes),
      hold_stdout_(hold_stdout && is_terminal(kStandardOutput)) {
  // Messages wait in their buffers until the display has erased its line.
  std::setvbuf(stderr, nullptr, _IOFBF, kHeldMessageBuffer);
  if (hold_stdout_) std::setvbuf(stdout, nullptr, _IOFBF, kHeldMessageBuffer);
  platform::catch_ending_signals();
}

progress_display::~progress_display() {
  finish();
}

void progress_display::update(int64_t bytes_read, int64_t lines_written) {
  if (--countdown_ > 0) return;
  const clock::time_point now = now_();
  const clock::duration since_last = now - last_check_;
  last_check_ = now;
  if (since_last < kFastCheck && stride_ < kMaxStride) {
    stride_ *= 2;
  } else if (since_last > kSlowCheck && stride_ > 1) {
    stride_ /= 2;
  }
  countdown_ = stride_;
  if (finished_) return;
  if (now - start_ < delay_) {
    // Nothing drawn yet: held messages may go out right away.
    release_messages();
    return;
  }
  if (now < next_refresh_) return;
  refresh(now, bytes_read, lines_written);
}

void progress_display::refresh(clock::time_point now, int64_t bytes_read, int64_t lines_written) {
  progress_numbers numbers;
  numbers.bytes_read = bytes_read;
  numbers.total_bytes = total_bytes_;
  numbers.lines_written = lines_written;
  numbers.seconds = std::chrono::duration<double>(now - start_).count();
  erase();
  release_messages();
  draw(format_progress_line(program_, numbers));
  next_refresh_ = now + std::chrono::milliseconds(kProgressIntervalMs);
}

void progress_display::release_messages() {
  if (hold_stdout_) std::fflush(stdout);
  std::fflush(stderr);
}

void progress_display::erase() {
  if (drawn_length_ == 0) return;
  std::string blank(drawn_length_ + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  write_all(kStandardError, blank.data(), blank.size());
  // Only now is the line gone; a signal before this erases it once more, which is harmless.
  platform::set_line_to_erase(0);
  drawn_length_ = 0;
}

void progress_display::draw(const std::string& text) {
  // One column short of the width, so that the line never wraps and "\r" reaches its start.
  const size_t room = static_cast<size_t>(std::clamp(terminal_columns() - 1, 0, kMaxLineLength));
  std::string shown(1, '\r');
  shown.append(text, 0, room);
  drawn_length_ = shown.size() - 1;
  // Known to the signal handler before the first character reaches the terminal.
  platform::set_line_to_erase(drawn_length_);
  write_all(kStandardError, shown.data(), shown.size());
}

void progress_display::finish() {
  if (finished_) return;
  finished_ = true;
  erase();
  release_messages();
  platform::release_ending_signals();
}

}  // namespace asciify::cli
