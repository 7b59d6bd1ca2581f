#include "records/format_codes.h"

namespace asciify {

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
  static constexpr uint8_t kNibbleTable[16] = {0x00, 0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                               0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};
  return kNibbleTable[nibble & 0x0F];
}

}  // namespace asciify
