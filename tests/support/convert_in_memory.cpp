#include "tests/support/convert_in_memory.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace asciify::test_support {
namespace {

size_t count_of(std::string_view text, std::string_view word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

void pause_for(int32_t microseconds) {
  if (microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

byte_sink sink_into(memory_sink& sink) {
  byte_sink result;
  result.context = &sink;
  result.write = [](void* context, const char* bytes, size_t count, int* error) {
    auto& target = *static_cast<memory_sink*>(context);
    pause_for(target.pause_us);
    const size_t room = target.capacity - std::min(target.capacity, target.bytes.size());
    const size_t taken = std::min({count, room, target.step});
    target.bytes.append(bytes, taken);
    if (taken == 0) *error = target.error;
    return taken;
  };
  result.cut = [](void* context, int64_t count) {
    auto& target = *static_cast<memory_sink*>(context);
    if (!target.regular) return false;
    target.bytes.resize(target.bytes.size() - static_cast<size_t>(count));
    return true;
  };
  return result;
}

message_sink message_capture::sink() {
  return {[](void* context, message_kind kind, const char* text, size_t size) {
            auto& self = *static_cast<message_capture*>(context);
            (kind == message_kind::error ? self.messages : self.info).append(text, size);
          },
          this};
}

convert_options converter_options(const run_options& options) {
  convert_options result;
  result.scratch_fill = options.scratch_fill;
  result.second_thread = options.use_line_queue;
  result.buffer_size = options.buffer_size;
  result.line_buffered = options.line_buffered;
  return result;
}

conversion_capture capture_of(const converter& c, int status, message_capture& messages,
                              const memory_sink& sink) {
  conversion_capture capture;
  capture.status = status;
  capture.lines_written = converting_report(c).lines_written;
  capture.messages = std::move(messages.messages);
  capture.info = std::move(messages.info);
  capture.output = sink.bytes;
  capture.report = converting_report(c);
  return capture;
}

conversion_capture convert_in_memory(std::string_view input, run_options options) {
  message_capture messages;
  memory_sink sink;
  const converter_ptr c =
      make_converter(converter_options(options), sink_into(sink), messages.sink());
  const size_t step =
      options.piece_size == 0 ? std::max<size_t>(input.size(), 1) : options.piece_size;
  for (size_t at = 0; at < input.size(); at += step) {
    pause_for(options.pause_us);
    if (!convert_bytes(*c, input.data() + at, std::min(step, input.size() - at))) break;
  }
  const int status = finish_converting(*c);
  return capture_of(*c, status, messages, sink);
}

std::string wide_value_warning(int width, long long line) {
  return "Warning: value too wide for its " + std::to_string(width) + "-column field at line " +
         std::to_string(line) + ", written as '*'\n";
}

std::string finished_summary(long long lines) {
  return "Finished converting file, wrote " + std::to_string(lines) + " lines.\n";
}

std::string failed_summary(long long lines) {
  return "File conversion failed after writing " + std::to_string(lines) + " lines.\n";
}

std::string_view unterminated_tail(std::string_view output) {
  const size_t last_newline = output.rfind('\n');
  return last_newline == std::string_view::npos ? output : output.substr(last_newline + 1);
}

std::string_view lines_before_the_end(const conversion_capture& run) {
  const std::string_view output = run.output;
  const std::string_view lines = output.substr(0, output.size() - unterminated_tail(output).size());
  const std::string cut_text = "Failed to find zero-termination of string starting * at line " +
                               std::to_string(run.lines_written + 1) + "\n";
  const bool flag_line_left =
      run.status == 2 && lines.ends_with("$\n") && run.messages.find(cut_text) != std::string::npos;
  return flag_line_left ? lines.substr(0, lines.size() - 2) : lines;
}

std::string ending_fault(const conversion_capture& run, std::string_view input) {
  const long long lines = run.lines_written;
  const std::string_view messages = run.messages;
  const std::string_view info = run.info;
  if (count_of(info, "Finished converting file") + count_of(info, "File conversion failed") +
          count_of(messages, "Finished converting file") +
          count_of(messages, "File conversion failed") !=
      1) {
    return "not exactly one summary";
  }
  if (run.status == 0) {
    if (!info.ends_with(finished_summary(lines))) return "finished run without its summary";
    for (size_t at = 0; at < messages.size(); at = messages.find('\n', at) + 1) {
      if (!messages.substr(at).starts_with("Warning: ")) return "error in a finished run";
      if (messages.find('\n', at) == std::string_view::npos) break;
    }
  } else if (run.status == 2) {
    if (!messages.ends_with(failed_summary(lines))) return "failed run without its summary";
    if (messages.size() == failed_summary(lines).size()) return "failure without its reason";
  } else {
    return "status other than 0 or 2";
  }
  const std::string_view tail = unterminated_tail(run.output);
  const auto newlines = std::count(run.output.begin(), run.output.end(), '\n');
  if (newlines < lines - (tail.empty() ? 0 : 1)) return "more lines counted than written";
  if (!tail.empty() && input.find(tail) == std::string_view::npos) {
    return "unterminated last line is not copied input";
  }
  if (!tail.empty() && run.status == 0 && !input.ends_with(tail)) {
    return "unterminated last line is not the end of the input";
  }
  return "";
}

}  // namespace asciify::test_support
