// The marker lines that open, suspend, resume and end binary sections, and the header line
// that follows *START_BINARY.
#pragma once

#include <cstdint>

#include "output/output.h"
#include "records/conversion_state.h"
#include "records/input_cursor.h"

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

// Whether the input is copied line by line or read as binary records.
enum class conversion_mode { ascii, binary };

enum class marker_check {
  consumed,      // a marker was consumed: the position moved past it and the mode flipped
  not_a_marker,  // nothing changed
  failed,        // a message was printed; nothing changed
};

// Recognises a marker at the input's position (in binary mode: a text-line record carrying
// it), checks it is allowed in the current mode and consumes it; *consumed tells which, when
// given.
marker_check check_mode_marker(conversion_state& state, output& out, input_cursor& input,
                               conversion_mode& mode, marker_kind* consumed = nullptr);

}  // namespace asciify
