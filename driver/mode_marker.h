// The marker lines that open, suspend, resume and end binary sections, and the header line
// that follows *START_BINARY.
#pragma once

#include <cstdint>

#include "output/output.h"
#include "records/conversion_state.h"

namespace asciify {

// The header line of a binary section: format version and the two probe values (the integer
// 1 and the real 1.0) in the writer's memory order.
struct section_header {
  int32_t major = 0;
  int32_t minor = 0;
  uint8_t integer_probe[4] = {};
  uint8_t real_probe[4] = {};
};

// Parses the header line from the `length` bytes at `text` (which need not be terminated).
// Returns the number of items converted; all 10 are needed.
int32_t parse_section_header(const uint8_t* text, int32_t length, section_header* header);

enum class byte_order { native, swapped, unknown };

// Tells from the probes whether the section's numbers have this machine's byte order.
byte_order byte_order_of_probes(const section_header& header);

enum class marker_kind { start, suspend, resume, end };

// Recognises a marker at *read_pos (in binary mode: a text-line record carrying it), checks it
// is allowed in the current mode and consumes it. Returns 1 when a marker was consumed
// (*read_pos moved past it, *binary_mode flipped, *consumed tells which when given), 0 when
// the text is no marker, -1 after a message.
int32_t check_mode_marker(conversion_state& state, output& out, const uint8_t* window,
                          int32_t* read_pos, int32_t window_end, int32_t* binary_mode,
                          marker_kind* consumed = nullptr);

}  // namespace asciify
