#include "pack/progress.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace binify {
namespace {

constexpr int kDefaultDelayMs = 1000;
constexpr int kMaxDelayMs = 3600000;
constexpr auto kRefreshInterval = std::chrono::milliseconds(250);

std::string time_left(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string format_progress_line(const progress_numbers& n) {
  const double mb = static_cast<double>(n.bytes_read) / 1e6;
  const double rate = n.seconds > 0 ? mb / n.seconds : 0;
  char text[160];
  if (n.total_bytes > 0) {
    const double total = static_cast<double>(n.total_bytes) / 1e6;
    const int percent = static_cast<int>(100.0 * static_cast<double>(n.bytes_read) /
                                         static_cast<double>(n.total_bytes));
    std::snprintf(text, sizeof text, "binify: %.1f of %.1f MB, %d%%, %.1f MB/s, %lld lines", mb,
                  total, percent, rate, static_cast<long long>(n.lines));
    std::string line = text;
    if (rate > 0) line += ", " + time_left((total - mb) / rate) + " left";
    return line;
  }
  std::snprintf(text, sizeof text, "binify: %.1f MB, %.1f MB/s, %lld lines", mb, rate,
                static_cast<long long>(n.lines));
  return text;
}

bool progress_wanted(FILE* input, FILE* output) {
  return isatty(fileno(stderr)) && !isatty(fileno(input)) && !isatty(fileno(output));
}

int progress_delay_from_environment() {
  const char* text = std::getenv("BINIFY_PROGRESS_DELAY_MS");
  if (text == nullptr || *text == '\0') return kDefaultDelayMs;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 0 || value > kMaxDelayMs) return kDefaultDelayMs;
  return static_cast<int>(value);
}

progress_line start_progress(FILE* input, int delay_ms) {
  progress_line line;
  line.next_refresh = line.start + std::chrono::milliseconds(delay_ms);
  struct stat status;
  if (fstat(fileno(input), &status) == 0 && S_ISREG(status.st_mode)) {
    line.total_bytes = static_cast<int64_t>(status.st_size);
  }
  return line;
}

void update_progress(progress_line& line, int64_t bytes_read, int64_t lines) {
  const auto now = progress_line::clock::now();
  if (now < line.next_refresh) return;
  line.next_refresh = now + kRefreshInterval;
  progress_numbers numbers;
  numbers.bytes_read = bytes_read;
  numbers.total_bytes = line.total_bytes;
  numbers.lines = lines;
  numbers.seconds = std::chrono::duration<double>(now - line.start).count();
  const std::string text = format_progress_line(numbers);
  // Overwrite the old line; spaces cover what a shorter line leaves.
  const size_t cover = line.drawn > text.size() ? line.drawn - text.size() : 0;
  std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(cover), "");
  std::fflush(stderr);
  line.drawn = text.size();
}

void end_progress(progress_line& line) {
  if (line.drawn == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(line.drawn), "");
  std::fflush(stderr);
  line.drawn = 0;
}

}  // namespace binify
