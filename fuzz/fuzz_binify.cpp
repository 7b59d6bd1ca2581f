// Fuzz target of the packer: on any text, binify either refuses at a line that begins with a
// marker text, or packs it into a file that the converter turns back into exactly the text,
// within the format's strict limits unless the text needs an extension (a line over 255
// bytes, no final end-of-line byte), which the report then names.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pack/packer.h"
#include "tests/support/strict_reader.h"

namespace {

[[noreturn]] void violated(const std::string& what) {
  std::fprintf(stderr, "invariant violated: %s\n", what.c_str());
  std::abort();
}

// The line that starts at the 1-based line `number` of the text.
std::string_view line_at(std::string_view text, int64_t number) {
  size_t start = 0;
  for (int64_t n = 1; n < number && start <= text.size(); ++n) {
    start = text.find('\n', start);
    start = start == std::string_view::npos ? text.size() + 1 : start + 1;
  }
  if (start > text.size()) return {};
  return text.substr(start, text.find('\n', start) - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  binify::pack_options options;
  options.order = size % 2 == 0 ? binify::byte_order::little : binify::byte_order::big;
  const binify::packed_text packed = binify::pack_text(text, options);
  options.two_threads = true;
  if (binify::pack_text(text, options).bytes != packed.bytes) {
    violated("two threads pack otherwise than one");
  }
  if (!packed.ok) {
    const std::string_view line = line_at(text, packed.report.refused_line);
    if (packed.report.refused_line == 0 || !line.starts_with(packed.report.refused_marker) ||
        std::string_view(packed.report.refused_marker).empty()) {
      violated("refused a line that begins with no marker");
    }
    return 0;
  }
  const std::string fault = asciify::test_support::packing_fault(text, packed);
  if (!fault.empty()) violated(fault);
  return 0;
}
