// The lines of a reader without the values of their fields, for a program that wants only the
// texts (the Python module's lines).
#pragma once

#include "asciify/reader.h"

namespace asciify {

// next_item with no fields: the item's `fields` are empty, all else is as next_item gives it.
const line_item* next_text_item(reader& r);

}  // namespace asciify
