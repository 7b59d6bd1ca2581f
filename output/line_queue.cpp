#include "output/line_queue.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "text/digit_text.h"

namespace asciify {
namespace {

// Batches in the ring: one being filled, the others being rendered or written.
constexpr int32_t kBatches = 8;
constexpr int32_t kBatchLines = 1024;
constexpr int32_t kBatchBytes = 32 * 1024;  // format and data bytes of the queued lines
constexpr int32_t kBatchText = 64 * 1024;   // their rendered text
// Lines are rendered in place in the batch's text. Their text bounds (exact in fixed columns)
// add up to at most kBatchText; while a field is written, a writer may store one byte past
// the bound (a closing zero byte where the newline goes): this room lies behind the text.
constexpr int32_t kRenderRoom = 64;

// Any single line fits an empty batch: a format of 255 bytes with its data, a rendered line,
// and the widest line text.
static_assert(kMaxFormatFields + kMaxLineData <= kBatchBytes);
static_assert(kLineBufferSize <= kBatchBytes);
static_assert(kLineBufferSize <= kBatchText && kMaxLineData <= kBatchText);

// A line to render from its format and data, one rendered already, or bytes copied as they are:
// a whole line, or the part of a line that goes on in the next.
enum class queued_kind : uint8_t { formatted, rendered, text, text_part };

// Written by the reading thread only and read by the renderer, which keeps its results apart:
// each cache line of a batch then crosses between the cores once per trip round the ring.
struct queued_line {
  int64_t lines_before;
  uint64_t zero_fill_marker_8;
  uint32_t zero_fill_marker_4;
  int32_t queued_star_width;  // of a line queued rendered, as render_line gave it
  uint16_t bytes_offset;      // the format bytes, then the data, in the batch's bytes
  uint16_t data_length;
  uint8_t format_count;
  queued_kind kind;
  uint8_t swap_needed;
  bool only_numbers;  // as measured
};
static_assert(sizeof(queued_line) == 32);
static_assert(kBatchBytes <= UINT16_MAX && kMaxFormatFields <= UINT8_MAX);

// What rendering a line gave, kept apart from the queued lines: written by the renderer.
struct rendered_line {
  int32_t text_end;  // where its text ends in the batch's text
  int32_t first_star_width;
};

enum class batch_stage : uint8_t { filling, filled, rendering, rendered };

struct line_batch {
  batch_stage stage = batch_stage::filling;
  int32_t line_count = 0;
  int32_t byte_count = 0;
  int32_t text_bound = 0;  // sum of the lines' text bounds
  queued_line lines[kBatchLines];
  rendered_line rendered[kBatchLines];
  uint8_t bytes[kBatchBytes];
  char text[kBatchText + kRenderRoom];
};

}  // namespace

struct line_queue {
  output* out = nullptr;

  std::mutex mutex;
  std::condition_variable changed;
  std::thread worker;
  bool worker_running = false;
  bool closing = false;
  int32_t sleepers = 0;  // threads waiting on `changed`
  bool writing = false;  // a thread is writing batches

  // Batch sequence numbers: batches [written, handed_over) are in the ring, the ones from
  // next_to_render on are not claimed by a renderer yet; handed_over is being filled.
  int64_t handed_over = 0;
  int64_t next_to_render = 0;
  int64_t written = 0;

  // Set by the writer when a write fails; the queue takes nothing more afterwards.
  std::atomic<bool> failed{false};

  // The '*' warning found by the writer, to be printed by the reading thread.
  std::atomic<bool> warning_pending{false};  // set and cleared with the lock held
  int32_t warning_width = 0;
  int64_t warning_line = 0;

  line_batch batches[kBatches];
};

namespace {

line_batch& batch_at(line_queue& queue, int64_t sequence) {
  return queue.batches[sequence % kBatches];
}

// Renders every line of the batch into its text.
void render_batch(line_batch& batch) {
  int32_t text_end = 0;
  for (int32_t i = 0; i < batch.line_count; ++i) {
    const queued_line& line = batch.lines[i];
    rendered_line& result = batch.rendered[i];
    const uint8_t* bytes = batch.bytes + line.bytes_offset;
    if (line.kind == queued_kind::formatted) {
      const line_settings settings{line.zero_fill_marker_4, line.zero_fill_marker_8,
                                   line.swap_needed};
      text_end += render_line(settings, bytes, line.format_count, bytes + line.format_count,
                              line.data_length, line.only_numbers, batch.text + text_end,
                              &result.first_star_width);
    } else {
      std::memcpy(batch.text + text_end, bytes, line.data_length);
      text_end += line.data_length;
      result.first_star_width = line.queued_star_width;
    }
    result.text_end = text_end;
  }
}

// Notes the first line written with a '*' field, for the warning.
void note_wide_values(line_queue& queue, const queued_line& line, const rendered_line& result) {
  if (result.first_star_width < 0 || queue.out->wide_value_warning_given) return;
  queue.out->wide_value_warning_given = true;
  std::lock_guard<std::mutex> lock(queue.mutex);
  queue.warning_pending.store(true, std::memory_order_release);
  queue.warning_width = result.first_star_width;
  queue.warning_line = line.lines_before + 1;
}

// Writes the batch's lines in order; stops at the first failure.
void write_batch(line_queue& queue, const line_batch& batch) {
  if (queue.failed.load(std::memory_order_relaxed)) return;
  output_file& file = queue.out->file;
  int32_t text_start = 0;
  for (int32_t i = 0; i < batch.line_count; ++i) {
    const queued_line& line = batch.lines[i];
    const int32_t text_end = batch.rendered[i].text_end;
    const bool plain = line.kind == queued_kind::text || line.kind == queued_kind::text_part;
    const line_kind kind = plain ? line_kind::plain : line_kind::formatted;
    begin_line(file, kind);
    if (!append_part(file, batch.text + text_start, text_end - text_start) ||
        (line.kind != queued_kind::text_part && !end_line(file, kind))) {
      queue.failed.store(true, std::memory_order_release);
      return;
    }
    note_wide_values(queue, line, batch.rendered[i]);
    text_start = text_end;
  }
}

// Tells the other thread that something changed; called with the lock held.
void announce(line_queue& queue) {
  if (queue.sleepers > 0) queue.changed.notify_all();
}

// Waits until the other thread changes something; called with the lock held. The thread
// sleeps rather than polls: it leaves its processor to other work, and batches are large
// enough that the waking costs little.
void wait_for_change(line_queue& queue, std::unique_lock<std::mutex>& lock) {
  ++queue.sleepers;
  queue.changed.wait(lock);
  --queue.sleepers;
}

// Claims the oldest batch that is not rendered yet and renders it; called with the lock held,
// which is released meanwhile. Returns false when there is none.
bool render_next(line_queue& queue, std::unique_lock<std::mutex>& lock) {
  if (queue.next_to_render >= queue.handed_over) return false;
  line_batch& batch = batch_at(queue, queue.next_to_render++);
  batch.stage = batch_stage::rendering;
  const bool skip = queue.failed.load(std::memory_order_relaxed);
  lock.unlock();
  if (!skip) render_batch(batch);
  lock.lock();
  batch.stage = batch_stage::rendered;
  announce(queue);
  return true;
}

bool next_is_rendered(line_queue& queue) {
  return queue.written < queue.handed_over &&
         batch_at(queue, queue.written).stage == batch_stage::rendered;
}

// Writes the rendered batches that are next in order, unless another thread is writing;
// called with the lock held, which is released meanwhile. Returns false when it wrote nothing.
bool write_ready(line_queue& queue, std::unique_lock<std::mutex>& lock) {
  if (queue.writing || !next_is_rendered(queue)) return false;
  queue.writing = true;
  do {
    line_batch& batch = batch_at(queue, queue.written);
    lock.unlock();
    write_batch(queue, batch);
    lock.lock();
    batch.stage = batch_stage::filling;
    batch.line_count = batch.byte_count = batch.text_bound = 0;
    ++queue.written;
    announce(queue);
  } while (next_is_rendered(queue));
  queue.writing = false;
  return true;
}

// Does one piece of the work in the ring, writing before rendering.
bool work_on_ring(line_queue& queue, std::unique_lock<std::mutex>& lock) {
  return write_ready(queue, lock) || render_next(queue, lock);
}

// The second thread: writes batches in order as they become ready and renders the others.
void run_worker(line_queue* queue) {
  std::unique_lock<std::mutex> lock(queue->mutex);
  for (;;) {
    if (work_on_ring(*queue, lock)) continue;
    if (queue->closing) return;
    wait_for_change(*queue, lock);
  }
}

// Prints the '*' warning when the writer has found one.
void print_pending_warning(line_queue& queue) {
  if (!queue.warning_pending.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(queue.mutex);
  if (!queue.warning_pending.load(std::memory_order_relaxed)) return;
  queue.warning_pending.store(false, std::memory_order_relaxed);
  print_message(*queue.out,
                "Warning: value too wide for its %d-column field at line %lld, written as '*'\n",
                queue.warning_width, static_cast<long long>(queue.warning_line));
}

// Prints the warning and the failure that the writing found, each once.
bool report_written(line_queue& queue) {
  print_pending_warning(queue);
  if (!queue.failed.load(std::memory_order_acquire)) return true;
  report_write_failure(*queue.out);
  return false;
}

// Without a second thread (it could not be started) a batch is rendered and written at once.
void process_in_place(line_queue& queue, line_batch& batch) {
  if (!queue.failed.load(std::memory_order_relaxed)) {
    render_batch(batch);
    write_batch(queue, batch);
  }
  batch.line_count = batch.byte_count = batch.text_bound = 0;
}

// Passes the batch being filled on. With `make_room`, waits until the next batch in the ring
// is free, rendering batches meanwhile. Returns false when a write has failed.
bool hand_over(line_queue& queue, bool make_room) {
  line_batch& batch = batch_at(queue, queue.handed_over);
  if (batch.line_count == 0) return report_written(queue);
  if (!queue.worker_running && !make_room) {
    // The last batch of a short run: no thread is started for it.
    process_in_place(queue, batch);
    return report_written(queue);
  }
  if (!queue.worker_running) {
    try {
      queue.worker = std::thread(run_worker, &queue);
      queue.worker_running = true;
    } catch (const std::system_error&) {
      process_in_place(queue, batch);
      return report_written(queue);
    }
  }
  {
    std::unique_lock<std::mutex> lock(queue.mutex);
    batch.stage = batch_stage::filled;
    ++queue.handed_over;
    announce(queue);
    while (make_room && queue.handed_over - queue.written >= kBatches) {
      if (!work_on_ring(queue, lock)) wait_for_change(queue, lock);
    }
  }
  return report_written(queue);
}

// The batch to fill with a line of `bytes` bytes and at most `text` characters of text; the
// current one, or the next when the line does not fit. Null when a write has failed.
line_batch* batch_with_room(line_queue& queue, int32_t bytes, int32_t text) {
  if (queue.failed.load(std::memory_order_relaxed)) return nullptr;
  line_batch* batch = &batch_at(queue, queue.handed_over);
  if (batch->line_count == kBatchLines || batch->byte_count + bytes > kBatchBytes ||
      batch->text_bound + text > kBatchText) {
    if (!hand_over(queue, true)) return nullptr;
    batch = &batch_at(queue, queue.handed_over);
  }
  return batch;
}

// The ring's memory was last read by the other core; asking for the cache lines a few lines
// ahead of the writing lets their transfers overlap instead of stalling each store.
inline void prefetch_line_for_writing(const void* address) {
#if defined(__x86_64__)
  asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(address)));
#else
  __builtin_prefetch(address, 1);
#endif
}

inline void prefetch_for_writing(const line_batch& batch) {
  constexpr int32_t kAheadLines = 32;
  constexpr int32_t kAheadBytes = 1024;
  prefetch_line_for_writing(
      &batch.lines[std::min(batch.line_count + kAheadLines, kBatchLines - 1)]);
  prefetch_line_for_writing(
      &batch.bytes[std::min(batch.byte_count + kAheadBytes, kBatchBytes - 1)]);
}

}  // namespace

std::unique_ptr<line_queue> open_line_queue(output& out) {
  std::unique_ptr<line_queue> queue(new (std::nothrow) line_queue);
  if (queue != nullptr) queue->out = &out;
  return queue;
}

void delete_line_queue(line_queue* queue) {
  if (queue == nullptr) return;
  if (queue->worker_running) close_line_queue(*queue);
  delete queue;
}

bool queue_formatted_line(line_queue& queue, const line_settings& settings,
                          const uint8_t* format_bytes, int32_t count, const uint8_t* data,
                          int32_t length, const line_measure& measure, int64_t lines_before) {
  line_batch* batch = batch_with_room(queue, count + length, measure.text_bound);
  if (batch == nullptr) return false;
  prefetch_for_writing(*batch);
  queued_line& line = batch->lines[batch->line_count++];
  line.lines_before = lines_before;
  line.zero_fill_marker_8 = settings.zero_fill_marker_8;
  line.zero_fill_marker_4 = settings.zero_fill_marker_4;
  line.bytes_offset = static_cast<uint16_t>(batch->byte_count);
  line.data_length = static_cast<uint16_t>(length);
  line.format_count = static_cast<uint8_t>(count);
  line.kind = queued_kind::formatted;
  line.swap_needed = static_cast<uint8_t>(settings.swap_needed);
  line.only_numbers = measure.only_numbers;
  // Format and data are a few dozen bytes: copied inline rather than by two library calls.
  char* const to = reinterpret_cast<char*>(batch->bytes + batch->byte_count);
  digit_text::copy_short(to, reinterpret_cast<const char*>(format_bytes), count);
  digit_text::copy_short(to + count, reinterpret_cast<const char*>(data), length);
  batch->byte_count += count + length;
  batch->text_bound += measure.text_bound;
  return true;
}

namespace {

// Queues bytes that are copied to the output as they are.
bool queue_bytes(line_queue& queue, queued_kind kind, const void* bytes, int32_t length,
                 int32_t first_star_width, int64_t lines_before, bool add_newline = false) {
  const int32_t total = length + (add_newline ? 1 : 0);
  line_batch* batch = batch_with_room(queue, total, total);
  if (batch == nullptr) return false;
  prefetch_for_writing(*batch);
  queued_line& line = batch->lines[batch->line_count++];
  line.lines_before = lines_before;
  line.bytes_offset = static_cast<uint16_t>(batch->byte_count);
  line.data_length = static_cast<uint16_t>(total);
  line.queued_star_width = first_star_width;
  line.format_count = 0;
  line.kind = kind;
  std::memcpy(batch->bytes + batch->byte_count, bytes, length);
  if (add_newline) batch->bytes[batch->byte_count + length] = '\n';
  batch->byte_count += total;
  batch->text_bound += total;
  return true;
}

}  // namespace

bool queue_rendered_line(line_queue& queue, const char* text, int32_t length,
                         int32_t first_star_width, int64_t lines_before) {
  return queue_bytes(queue, queued_kind::rendered, text, length, first_star_width, lines_before);
}

bool queue_text(line_queue& queue, const uint8_t* bytes, int32_t length, bool ends_line,
                int64_t lines_before) {
  const queued_kind kind = ends_line ? queued_kind::text : queued_kind::text_part;
  return queue_bytes(queue, kind, bytes, length, -1, lines_before);
}

bool queue_text_line(line_queue& queue, const uint8_t* bytes, int32_t length,
                     int64_t lines_before) {
  return queue_bytes(queue, queued_kind::text, bytes, length, -1, lines_before, true);
}

void report_line_queue_warning(line_queue& queue) {
  print_pending_warning(queue);
}

bool drain_line_queue(line_queue& queue) {
  if (!hand_over(queue, false)) return false;
  if (queue.worker_running) {
    std::unique_lock<std::mutex> lock(queue.mutex);
    while (queue.written < queue.handed_over) {
      if (!work_on_ring(queue, lock)) wait_for_change(queue, lock);
    }
  }
  return report_written(queue);
}

bool close_line_queue(line_queue& queue) {
  const bool ok = drain_line_queue(queue);
  if (queue.worker_running) {
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.closing = true;
      announce(queue);
    }
    queue.worker.join();
    queue.worker_running = false;
  }
  return ok;
}

}  // namespace asciify
