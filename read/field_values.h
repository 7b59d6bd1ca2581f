// The values of a data record's fields, read from the data its line was rendered from exactly
// as the line writer reads them, and written back by the line writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asciify/reader.h"
#include "output/output.h"

namespace asciify {

// A decoded field; a string's characters are kept apart (`text_at`, `text_size` in a buffer of
// the caller's), since the buffer may grow while a line's fields are decoded.
struct decoded_field {
  field_value value;
  uint32_t text_at = 0;
  uint32_t text_size = 0;
};

// Appends the fields of the observed line of fields to `fields`, the characters of its strings
// to `texts`. Numbers are given in this machine's byte order; a field at or after a zero-fill
// marker is marked zero-filled (in a hard-wired line, those marked in `origin`).
void decode_fields(const item_origin& origin, const observed_line& line,
                   std::vector<decoded_field>& fields, std::string& texts);

// Writes the line the record's fields make when the line writer writes them (in the byte order
// the record was stored in, with its zero-fill marker where its zero fill began) into `text`,
// which has room for kLineBufferSize characters; `data` is working room. Returns its length,
// 0 when the fields make no line.
int32_t render_fields(const line_item& item, std::string& data, char* text);

}  // namespace asciify
