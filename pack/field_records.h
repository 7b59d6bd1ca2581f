// The cheapest binary record for a line taken apart into fields: a cached format (defined when
// a layout comes back), a line-specific format (packed or plain), or one of the hard-wired
// layouts (with their default formats or a 'long' format), each with the zero-fill marker
// where the line ends in zeros.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/format_cache.h"
#include "pack/line_fields.h"

namespace asciify {

enum class record_form { none, cached, lsf4, lsf8, hardwired, hardwired_long };
enum class selector_form { cached, fsf4, fsf8 };

struct record_plan {
  record_form form = record_form::none;
  // Bytes written; a definition that the record needs first counts 1, as it serves the
  // records of its layout to come.
  int32_t cost = 0;
  // Line-writer records: the data up to `data_end`, then a zero-fill marker of
  // `marker_size` bytes (0: no marker).
  int32_t data_end = 0;
  int32_t marker_size = 0;
  // Cached formats: the code, or 0 when a definition comes first.
  int32_t code = 0;
  // Hard-wired layouts: layout 0-7, the form of a 'long' format, and the source fields
  // written (after the last one, when it is a marker, the rest is zero).
  int32_t layout = 0;
  selector_form selector = selector_form::cached;
  int32_t sources_written = 0;
  bool source_marker = false;
  uint64_t line_hash = 0;    // the line's format
  uint64_t source_hash = 0;  // a 'long' format's source formats, 0 when none
  uint64_t generation = 0;   // of the cache the choice was made with
};

// Chooses the cheapest record for the fields with the cache as it stands. form none: the
// fields fit no record.
record_plan plan_fields_record(const format_cache& cache, const line_fields& fields);

// Writes the planned record (and the reset and definition it needs) and updates the cache.
void write_fields_record(format_cache& cache, const line_fields& fields, const record_plan& plan,
                         byte_order order, std::vector<uint8_t>& out);

}  // namespace asciify
