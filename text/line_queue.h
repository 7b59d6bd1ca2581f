// An ordered queue of output lines, rendered and written by a second thread while the
// conversion reads on: the reading thread checks each record and queues its line (the format,
// the data and the section's settings); lines are rendered in batches, by whichever thread is
// free, and written one by one, in order, exactly as they would have been at once. A failed
// write stops the queue; the reading thread learns of it at its next batch or message and the
// run ends as if it had stopped at that line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "records/conversion_state.h"
#include "text/line_writer.h"

namespace asciify {

struct line_queue;

// A queue writing to `out` for the run of `state`; no thread is started before the first
// batch is full.
std::unique_ptr<line_queue> open_line_queue(conversion_state& state, FILE* out);

// Writes everything still queued and stops the second thread. Returns false when a write
// failed (reported, like drain_line_queue).
bool close_line_queue(line_queue& queue);

void delete_line_queue(line_queue* queue);

// Queues a line measured by write_formatted_line: its `count` field format bytes and the
// `length` data bytes it uses. `lines_before` is the number of lines written before it.
// Returns false when an earlier write has failed: nothing more is queued then.
bool queue_formatted_line(line_queue& queue, const line_settings& settings,
                          const uint8_t* format_bytes, int32_t count, const uint8_t* data,
                          int32_t length, const line_measure& measure, int64_t lines_before);

// Queues the text of a formatted line that has been rendered already (`length` characters,
// newline included; `first_star_width` as render_line gives it). Returns false like
// queue_formatted_line.
bool queue_rendered_line(line_queue& queue, const char* text, int32_t length,
                         int32_t first_star_width, int64_t lines_before);

// Queues `length` bytes (at most kWindowSize) to be copied as they are. Returns false like
// queue_formatted_line.
bool queue_text(line_queue& queue, const uint8_t* bytes, int32_t length, int64_t lines_before);

// Waits until every queued line is written, then prints what the writing left to say: the
// '*' warning, and the message of a failed write. Returns false when a write failed; the
// failure is printed only once.
bool drain_line_queue(line_queue& queue);

// Prints the '*' warning if the writing has found it since the last report, without waiting
// for the lines queued: a progress display can then show it while the input stalls.
void report_line_queue_warning(line_queue& queue);

// Lines written before the failed write, when drain_line_queue returned false.
int64_t lines_before_failure(const line_queue& queue);

}  // namespace asciify

// Lets std::unique_ptr<line_queue> delete a queue whose type is private to line_queue.cpp.
template <>
struct std::default_delete<asciify::line_queue> {
  void operator()(asciify::line_queue* queue) const { asciify::delete_line_queue(queue); }
};
