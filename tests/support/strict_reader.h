// Reads a packed file as a converter held to the format's limits would, without converting it:
// says what such a converter could not read, or would write otherwise than this project's.
#pragma once

#include <string>
#include <string_view>

#include "asciify/packer.h"

namespace asciify::test_support {

// "" when every ASCII line ends in an end-of-line byte and fits 256 bytes with it, every marker
// line with its header and every record fits 256 bytes, every line that a record writes fits 255
// characters, and every number is written by its field writer without '*' and is no NaN, no
// infinity and not the largest 8-byte magnitude; otherwise what is wrong first, and where.
std::string strict_format_fault(std::string_view packed);

// What is wrong with the packing of `text` (`packed`): "" when it converts back to exactly
// the text without a message, within the strict limits unless the text needs an extension (a
// line over 255 bytes or no final end-of-line byte), and with a note exactly when it does.
std::string packing_fault(std::string_view text, const asciify::packed_text& packed);

}  // namespace asciify::test_support
