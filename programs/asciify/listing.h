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
  convert_report report;    // of a conversion that writes nowhere
  std::string read_reason;  // why the input could not be read to its end; "" when it could
};

// The listing of the open input `input`, named `name`.
listing take_listing(input_stream& input, const char* name);

std::string listing_text(const listing& taken);
std::string listing_json(const listing& taken);
// The JSON answer about an input that could not be opened: its name and an `error` with the
// message and the system's reason.
std::string unopened_json(const char* name, const std::string& message, const std::string& reason);

// Reads the input `name` (decompressing it unless `decompress` is off), prints its listing (as
// JSON with `json`) to standard output and returns the conversion's exit status (1 when the
// input cannot be opened; with `json` the answer then tells why).
int list_input(const char* name, bool json, bool decompress);

}  // namespace asciify
