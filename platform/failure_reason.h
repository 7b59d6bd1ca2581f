// Why the exception being handled was thrown, in the words of a message, for the places where
// no exception may go on (a C caller, a program's end, a thread of its own).
#pragma once

#include <string>

namespace asciify::platform {

// "out of memory" for a failed allocation, else the exception's own words ("unknown failure"
// when it has none). Only inside a handler.
std::string reason_of_current_exception();

}  // namespace asciify::platform
