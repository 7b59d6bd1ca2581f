#include "format/format_codes.h"

#include <array>

namespace asciify {
namespace {

constexpr uint8_t kNibbleTable[16] = {0x00, 0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                      0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};

constexpr std::array<uint8_t, 256> kNibbleOf = [] {
  std::array<uint8_t, 256> table{};
  for (uint8_t nibble = 1; nibble < 16; ++nibble) table[kNibbleTable[nibble]] = nibble;
  return table;
}();

}  // namespace

record_kind record_kind_for_code(uint8_t code) {
  switch (code) {
    case FC_LSF4:
    case FC_LSF8:
      return record_kind::line_specific;
    case FC_TEXT_LINE:
      return record_kind::text_line;
    case FC_RESET_FORMAT:
      return record_kind::format_reset;
    default:
      // 0 and 5-49 are hard-wired layouts or reserved codes, which that handler rejects.
      return code >= FC_FIRST_CACHED ? record_kind::cached_format : record_kind::hardwired;
  }
}

uint8_t translate_nibble(uint8_t nibble) {
  return kNibbleTable[nibble & 0x0F];
}

uint8_t nibble_of(uint8_t format) {
  return kNibbleOf[format];
}

}  // namespace asciify
