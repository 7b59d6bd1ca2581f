#include "tests/support/convert_in_memory.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "driver/conversion.h"

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

output_sink sink_into(memory_sink& sink) {
  output_sink result;
  result.context = &sink;
  result.write = [](void* context, const char* bytes, size_t count, int* error) {
    auto& target = *static_cast<memory_sink*>(context);
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

memory_output::memory_output() : out(std::make_unique<output>()) {
  out->messages = messages.file;
  out->info = info.file;
  open_output(*out, sink_into(sink), 1 << 16, false, false);
}

std::string memory_output::text() {
  flush_output(out->file);
  return sink.bytes;
}

raw_read failing_source::read(void* context, uint8_t* buffer, size_t capacity) {
  auto& self = *static_cast<failing_source*>(context);
  if (self.served >= self.fail_at) return {0, EIO};
  const size_t count =
      std::min({capacity, self.fail_at - self.served, self.bytes.size() - self.served});
  std::memcpy(buffer, self.bytes.data() + self.served, count);
  self.served += count;
  return {count, 0};
}

input_handle memory_input(std::string_view input) {
  return std::move(open_input_memory(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                                     {.decode_in_thread = false})
                       .stream);
}

conversion_capture convert_into_sink(input_stream& in, memory_sink& sink, run_options options) {
  const uint8_t scratch_fill = options.scratch_fill;
  memory_stream messages, info;
  auto state = std::make_unique<conversion_state>();
  std::memset(state->staging_buffer, scratch_fill, sizeof state->staging_buffer);
  std::memset(state->format_storage, scratch_fill, sizeof state->format_storage);
  std::memset(state->lsf_buffer, scratch_fill, sizeof state->lsf_buffer);
  std::memset(state->hardwired_storage, scratch_fill, sizeof state->hardwired_storage);
  auto out = std::make_unique<output>();
  std::memset(out->line_buffer, scratch_fill, sizeof out->line_buffer);
  out->name = "output";
  out->messages = messages.file;
  out->info = info.file;
  open_output(*out, sink_into(sink), options.buffer_size, options.line_buffered,
              options.use_line_queue);
  const conversion_result result = convert_stream(*state, *out, in, "input");
  conversion_capture capture;
  capture.status = finish_run(*out, result, 0);
  capture.lines_written = result.lines_written;
  capture.messages = messages.text();
  capture.info = info.text();
  capture.output = sink.bytes;
  return capture;
}

conversion_capture convert_in_memory(std::string_view input, run_options options) {
  input_opening opening = open_input_memory(reinterpret_cast<const uint8_t*>(input.data()),
                                            input.size(), {.decode_in_thread = false});
  if (opening.stream == nullptr) {
    // Only a compressed input whose kind this build cannot read is not opened.
    conversion_capture capture;
    capture.status = 1;
    capture.messages = opening.reason + "\n";
    return capture;
  }
  memory_sink sink;
  return convert_into_sink(*opening.stream, sink, options);
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
