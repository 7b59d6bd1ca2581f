// Lines as the converter writes them, told to an observer of the library's own (the reader),
// with what each came from.
#pragma once

#include "asciify/converter.h"
#include "output/output.h"

namespace asciify {

// Tells `observer` of every line `c` writes, as it writes it; only for a converter made without
// a second thread.
void observe_lines(converter& c, line_observer observer);

}  // namespace asciify
