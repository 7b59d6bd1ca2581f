// The marker lines that open, suspend, resume and end binary sections, and the header line
// that follows *START_BINARY.
#pragma once

#include <cstdint>

#include "format/markers.h"
#include "output/output.h"
#include "records/conversion_state.h"
#include "records/input_cursor.h"

namespace asciify {

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
