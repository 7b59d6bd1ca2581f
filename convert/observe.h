// Lines as the converter writes them, told to an observer of the library's own (the reader),
// with what each came from.
#pragma once

#include "asciify/converter.h"
#include "output/output.h"

namespace asciify {

// Tells `observer` of every line `c` writes, as it writes it. With a second thread, it is told
// of each line as it is queued, a line of fields without its text (which reaches the text sink
// in order later). With `observe_only` (only without a second thread) the lines go nowhere
// else, and lines of fields are checked, not rendered: the observer is told of them without
// their text.
void observe_lines(converter& c, line_observer observer, bool observe_only);

// Asks `c`, from the observer, to return from convert_bytes after the item being converted
// (it returns at once when the rest of the piece fits in its carry, else the request lapses).
void pause_after_item(converter& c);

// Whether `c` returned at a pause, with input that has arrived still to convert.
bool converting_paused(const converter& c);

// Goes on converting what has arrived, as convert_bytes with no bytes would. Returns false once
// the conversion has stopped.
bool resume_converting(converter& c);

}  // namespace asciify
