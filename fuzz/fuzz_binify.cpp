// Fuzz target of the packer: on any text, binify either refuses at a line that begins with a
// marker text, or packs it into a file that the converter turns back into exactly the text,
// within the format's strict limits unless the text needs an extension (a line over 255
// bytes, no final end-of-line byte), which the report then names.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "asciify/packer.h"
#include "tests/support/strict_reader.h"

namespace {

[[noreturn]] void violated(const std::string& what) {
  std::fprintf(stderr, "invariant violated: %s\n", what.c_str());
  std::abort();
}

// The 1-based line `number` of the text, without its end-of-line byte; "" past the end.
std::string_view line_at(std::string_view text, int64_t number) {
  size_t start = 0;
  for (int64_t n = 1; n < number; ++n) {
    if ((start = text.find('\n', start)) == std::string_view::npos) return {};
    ++start;
  }
  return text.substr(start, text.find('\n', start) - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  asciify::pack_options options;
  options.order = size % 2 == 0 ? asciify::byte_order::little : asciify::byte_order::big;
  const asciify::packed_text packed = asciify::pack_text(text, options);
  options.second_thread = true;
  if (asciify::pack_text(text, options).bytes != packed.bytes) {
    violated("two threads pack otherwise than one");
  }
  const asciify::pack_report& report = packed.report;
  const std::string_view marker = report.refused_marker;
  if (!packed.ok && (report.refused_line == 0 || marker.empty() ||
                     !line_at(text, report.refused_line).starts_with(marker))) {
    violated("refused a line that begins with no marker");
  }
  const std::string fault = packed.ok ? asciify::test_support::packing_fault(text, packed) : "";
  if (!fault.empty()) violated(fault);
  return 0;
}
