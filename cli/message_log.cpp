#include "cli/message_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace asciify::cli {
namespace {

FILE* file_of(line_stream stream) {
  return stream == line_stream::output ? stdout : stderr;
}

void add(message_log& log, line_stream stream, const char* text, size_t size) {
  if (size == 0) return;
  if (!log.keep) {
    std::fwrite(text, 1, size, file_of(stream));
    return;
  }
  log.kept.append(text, size);
  if (!log.stretches.empty() && log.stretches.back().stream == stream) {
    log.stretches.back().size += size;
  } else {
    log.stretches.push_back({stream, size});
  }
}

}  // namespace

message_log kept_log_of(const std::string& name) {
  message_log log;
  log.keep = true;
  log.prefix = name + ": ";
  return log;
}

void log_text(message_log& log, line_stream stream, const char* text, size_t size) {
  bool& at_line_start = log.at_line_start[stream == line_stream::output ? 0 : 1];
  size_t begin = 0;
  while (begin < size) {
    if (at_line_start) add(log, stream, log.prefix.data(), log.prefix.size());
    size_t end = begin;
    while (end < size && text[end] != '\n') ++end;
    at_line_start = end < size;
    if (at_line_start) ++end;
    add(log, stream, text + begin, end - begin);
    begin = end;
  }
}

void log_format(message_log& log, line_stream stream, const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int size = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (size >= 0 && static_cast<size_t>(size) < sizeof text) {
    log_text(log, stream, text, static_cast<size_t>(size));
  } else if (size >= 0) {  // a long name: formatted again at its size
    std::string longer(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(longer.data(), longer.size(), format, again);
    log_text(log, stream, longer.data(), static_cast<size_t>(size));
  }
  va_end(again);
}

void print_kept_lines(message_log& log) {
  size_t begin = 0;
  for (const message_log::stretch& stretch : log.stretches) {
    FILE* file = file_of(stretch.stream);
    std::fwrite(log.kept.data() + begin, 1, stretch.size, file);
    std::fflush(file);
    begin += stretch.size;
  }
  log.kept.clear();
  log.stretches.clear();
}

}  // namespace asciify::cli
