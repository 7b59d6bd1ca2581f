// Fuzz target: runs whole conversions on the input in memory and checks what must hold for every
// input: no crash or sanitizer report, status 0 or 2 with exactly one matching summary, a line
// count that the output can account for, a last unterminated output line that is copied input,
// a result that does not depend on what the scratch buffers held before, and an input cut short
// converting to a prefix of the whole input's output.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "driver/conversion.h"

namespace {

using asciify::conversion_state;

// A stream that collects in memory what is written to it.
struct memory_stream {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);

  std::string close() {
    std::fclose(file);
    std::string text(data, size);
    std::free(data);
    return text;
  }
};

struct run_result {
  int status = -1;
  int64_t lines_written = 0;
  std::string output;
  std::string messages;
  std::string info;
};

// Converts `input` with a fresh state whose scratch areas are first filled with `fill`.
run_result convert(std::string_view input, uint8_t fill) {
  FILE* in = input.empty() ? std::fopen("/dev/null", "rb")
                           : fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  if (in == nullptr) std::abort();
  memory_stream output, messages, info;
  auto state = std::make_unique<conversion_state>();
  std::memset(state->line_buffer, fill, sizeof state->line_buffer);
  std::memset(state->staging_buffer, fill, sizeof state->staging_buffer);
  std::memset(state->format_storage, fill, sizeof state->format_storage);
  std::memset(state->lsf_buffer, fill, sizeof state->lsf_buffer);
  std::memset(state->hardwired_storage, fill, sizeof state->hardwired_storage);
  state->messages = messages.file;
  state->info = info.file;

  const asciify::conversion_result result = convert_stream(*state, in, output.file, "input");
  std::fclose(in);
  const bool output_ok = std::fflush(output.file) == 0;
  run_result run;
  run.status = finish_run(*state, result, output_ok, "output");
  run.lines_written = result.lines_written;
  run.output = output.close();
  run.messages = messages.close();
  run.info = info.close();
  return run;
}

[[noreturn]] void violated(const char* what, const run_result& run) {
  std::fprintf(stderr, "invariant violated: %s\nstatus %d, lines %lld\nmessages:\n%s\ninfo:\n%s\n",
               what, run.status, static_cast<long long>(run.lines_written), run.messages.c_str(),
               run.info.c_str());
  std::abort();
}

size_t occurrences(std::string_view text, std::string_view word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

void check_invariants(std::string_view input, const run_result& run) {
  const long long lines = run.lines_written;
  const std::string finished =
      "Finished converting file, wrote " + std::to_string(lines) + " lines.\n";
  const std::string failed =
      "File conversion failed after writing " + std::to_string(lines) + " lines.\n";
  if (run.status == 0) {
    if (!ends_with(run.info, finished)) violated("finished run without its summary", run);
    // A finished run may only have warned.
    size_t at = 0;
    while (at < run.messages.size()) {
      if (run.messages.compare(at, 9, "Warning: ") != 0) violated("error in a finished run", run);
      const size_t end = run.messages.find('\n', at);
      if (end == std::string::npos) break;
      at = end + 1;
    }
  } else if (run.status == 2) {
    if (!ends_with(run.messages, failed)) violated("failed run without its summary", run);
    if (run.messages.size() == failed.size()) violated("failure without its reason", run);
  } else {
    violated("status other than 0 or 2", run);
  }
  const size_t summaries = occurrences(run.info, "Finished converting file") +
                           occurrences(run.messages, "File conversion failed") +
                           occurrences(run.info, "File conversion failed") +
                           occurrences(run.messages, "Finished converting file");
  if (summaries != 1) violated("not exactly one summary", run);

  // Every counted line ends in a newline byte, except an unterminated last ASCII line.
  const std::string_view output = run.output;
  const size_t last_newline = output.rfind('\n');
  const std::string_view tail =
      last_newline == std::string_view::npos ? output : output.substr(last_newline + 1);
  const auto newlines = static_cast<long long>(std::count(output.begin(), output.end(), '\n'));
  if (newlines < lines - (tail.empty() ? 0 : 1)) violated("more lines counted than written", run);

  // An unterminated last output line is input copied as it stands; after a finished run it is
  // the end of the input.
  if (!tail.empty()) {
    if (run.status == 0 && !ends_with(input, tail)) {
      violated("unterminated last line is not the end of the input", run);
    }
    if (memmem(input.data(), input.size(), tail.data(), tail.size()) == nullptr) {
      violated("unterminated last line is not copied input", run);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const run_result first = convert(input, 0x00);
  check_invariants(input, first);
  const run_result second = convert(input, 0xA5);
  if (first.status != second.status || first.lines_written != second.lines_written ||
      first.output != second.output || first.messages != second.messages ||
      first.info != second.info) {
    violated("result depends on what the scratch buffers held before", second);
  }

  // The input cut short converts to a prefix of the whole input's output, apart from a last
  // line that the cut left unterminated: nothing is invented or rewritten.
  const size_t cut = size == 0 ? 0 : (size_t{data[size / 2]} * 257 + size) % (size + 1);
  const std::string_view part = input.substr(0, cut);
  const run_result shortened = convert(part, 0x00);
  check_invariants(part, shortened);
  const std::string_view lines(shortened.output.data(), shortened.output.rfind('\n') + 1);
  if (std::string_view(first.output).substr(0, lines.size()) != lines) {
    violated("a shortened input converts to lines the whole input does not have", shortened);
  }
  return 0;
}
