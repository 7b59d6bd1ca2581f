// Plain words for what went wrong with the input when a conversion fails on its content,
// with the likely cause, for a person who does not know the format's internals.
#pragma once

#include <cstdint>
#include <string>

#include "records/conversion_state.h"

namespace asciify {

struct fault_context {
  input_fault fault = input_fault::none;
  bool input_ended = false;      // everything after the item is in reach: the input ends there
  uint8_t first_byte = 0;        // the item's first byte (a record's format code)
  bool carriage_return = false;  // the section's marker or header line ended in one
};

std::string explain_fault(const fault_context& context);

}  // namespace asciify
