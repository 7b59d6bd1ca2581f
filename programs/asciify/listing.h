// A look inside a file: what a conversion would make of it, without writing any text.
#pragma once

#include <cstdint>
#include <string>

#include "asciify/converter.h"
#include "input/input_stream.h"

namespace asciify {

// What a listing tells, gathered by a conversion that writes nowhere.
struct listing {
  std::string input;
  int64_t size = 0;  // bytes of the input (of the file: compressed ones for a compressed input)
  compression_kind compression = compression_kind::none;
  convert_report report;  // of a conversion that writes nowhere
};

// The listing of the open input `input`, named `name`.
listing take_listing(input_stream& input, const char* name);

std::string listing_text(const listing& taken);
std::string listing_json(const listing& taken);

// Reads the input `name`, prints its listing (as JSON with `json`) to standard output and
// returns the conversion's exit status (1 when the input cannot be opened).
int list_input(const char* name, bool json);

}  // namespace asciify
