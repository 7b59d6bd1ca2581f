// Fuzz target: runs whole conversions on the input in memory and checks what must hold for every
// input: no crash or sanitizer report, a clean ending (see ending_fault), a result that does not
// depend on what the scratch buffers held before, and an input cut short converting to a prefix
// of the whole input's output, apart from a last line that the cut left unterminated (or the
// "$" line of a text record that it cut off, see lines_before_the_end).
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tests/support/convert_in_memory.h"

namespace {

using asciify::test_support::conversion_capture;

[[noreturn]] void violated(const std::string& what, const conversion_capture& run) {
  std::fprintf(stderr, "invariant violated: %s\nstatus %d, lines %lld\nmessages:\n%s\ninfo:\n%s\n",
               what.c_str(), run.status, static_cast<long long>(run.lines_written),
               run.messages.c_str(), run.info.c_str());
  std::abort();
}

conversion_capture checked_run(std::string_view input, uint8_t scratch_fill) {
  // The second run also goes through the line queue, which must not change anything.
  const conversion_capture run = asciify::test_support::convert_in_memory(
      input, {.scratch_fill = scratch_fill, .use_line_queue = scratch_fill != 0});
  const std::string fault = asciify::test_support::ending_fault(run, input);
  if (!fault.empty()) violated(fault, run);
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const conversion_capture first = checked_run(input, 0x00);
  const conversion_capture second = checked_run(input, 0xA5);
  if (first.status != second.status || first.lines_written != second.lines_written ||
      first.output != second.output || first.messages != second.messages ||
      first.info != second.info) {
    violated("result depends on the scratch buffers or on the line queue", second);
  }
  const size_t cut = size == 0 ? 0 : (size_t{data[size / 2]} * 257 + size) % (size + 1);
  const conversion_capture part = checked_run(input.substr(0, cut), 0x00);
  const std::string_view lines = asciify::test_support::lines_before_the_end(part);
  if (!std::string_view(first.output).starts_with(lines)) {
    violated("a shortened input converts to lines the whole input does not have", part);
  }
  return 0;
}
