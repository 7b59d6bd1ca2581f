// The texts of a converter's lines as they reach its text sink, from whichever thread writes
// them, taken one line at a time by the reader in the order they were written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "asciify/sinks.h"

namespace asciify {

struct sink_texts {
  std::mutex mutex;
  std::string arriving;  // written by the converter, under the lock
  // Taken over by the reader (the buffers change places): the next line's text begins at `at`,
  // after the start of it that `straddle` holds when it began in the buffer taken before.
  std::string arrived;
  size_t at = 0;
  std::string straddle;
  bool straddle_taken = false;  // the last text taken lies in `straddle`
};

// A text sink that appends to `texts`.
byte_sink sink_into(sink_texts& texts);

// How long the next line's text is: `size` bytes when known, otherwise up to its `newlines`-th
// newline (its own, after those its strings hold).
struct text_extent {
  size_t size = 0;
  int32_t newlines = 1;
};

// Takes the next line's text when all of it has arrived; with `all_written` (the converter has
// finished) whatever is left of it. The view holds until the next call; its data() is null
// while the text has not all arrived. (A view, not an optional one: a view comes back in
// registers, where an optional one is stored and read back at once, which stalls.)
std::string_view take_text(sink_texts& texts, text_extent extent, bool all_written);

}  // namespace asciify
