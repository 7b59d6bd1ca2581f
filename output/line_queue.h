// An ordered queue of output lines, rendered and written by a second thread while the
// conversion reads on: the reading thread checks each record and queues its line (the format,
// the data and the section's settings); lines are rendered in batches, by whichever thread is
// free, and written one by one, in order, exactly as they would have been at once. A failed
// write stops the queue; the reading thread learns of it at its next batch or message and the
// run ends as if it had stopped at that line.
#pragma once

#include <cstdint>
#include <memory>

#include "output/output.h"
#include "text/line_writer.h"

namespace asciify {

// A queue writing to the file of `out`; no thread is started before the first batch is full.
std::unique_ptr<line_queue> open_line_queue(output& out);

// Writes everything still queued and stops the second thread. Returns false when a write
// failed (reported, like drain_line_queue).
bool close_line_queue(line_queue& queue);

// Queues a line measured by measure_formatted_line: its `count` field format bytes and the
// `length` data bytes it uses. `lines_before` is the number of lines made before it.
// Returns false when an earlier write has failed: nothing more is queued then.
bool queue_formatted_line(line_queue& queue, const line_settings& settings,
                          const uint8_t* format_bytes, int32_t count, const uint8_t* data,
                          int32_t length, const line_measure& measure, int64_t lines_before);

// Queues the text of a formatted line that has been rendered already (`length` characters,
// newline included; `first_star_width` as render_formatted_line gives it). Returns false like
// queue_formatted_line.
bool queue_rendered_line(line_queue& queue, const char* text, int32_t length,
                         int32_t first_star_width, int64_t lines_before);

// Queues `length` bytes (at most the input window) to be copied as they are; `ends_line` when
// they end a line. Returns false like queue_formatted_line.
bool queue_text(line_queue& queue, const uint8_t* bytes, int32_t length, bool ends_line,
                int64_t lines_before);

// Queues `length` bytes (at most the input window) and a newline, as one line. Returns false
// like queue_formatted_line.
bool queue_text_line(line_queue& queue, const uint8_t* bytes, int32_t length, int64_t lines_before);

// Waits until every queued line is written, then prints what the writing left to say: the
// '*' warning, and the message of a failed write. Returns false when a write failed; the
// failure is printed only once.
bool drain_line_queue(line_queue& queue);

// Prints the '*' warning if the writing has found it since the last report, without waiting
// for the lines queued: a progress display can then show it while the input stalls.
void report_line_queue_warning(line_queue& queue);

}  // namespace asciify
