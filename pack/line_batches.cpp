#include "pack/line_batches.h"

#include <cstring>
#include <system_error>

namespace asciify {
namespace {

// Takes apart the lines of the batch that no thread has claimed yet.
void work_on(const number_order& numbers, line_batch& batch) {
  const int32_t count = batch.count;
  for (int32_t i; (i = batch.next.fetch_add(1, std::memory_order_relaxed)) < count;) {
    const uint8_t* line = batch.text + batch.offset[i];
    const int32_t length = batch.length[i];
    batch.split[i] = length <= kMaxRecordLine &&
                     std::memchr(line, 0, static_cast<size_t>(length)) == nullptr &&
                     split_fields(line, length, numbers, &batch.fields[i]);
  }
}

void helper_loop(batch_splitter* s) {
  uint64_t seen = 0;
  for (;;) {
    line_batch* batch = nullptr;
    {
      std::unique_lock lock(s->mutex);
      s->wake.wait(lock, [&] { return s->stop || s->round != seen; });
      if (s->stop) return;
      seen = s->round;
      batch = s->published;
    }
    work_on(s->numbers, *batch);
    // After this the helper touches the batch no more: it may be filled again.
    {
      std::lock_guard lock(s->mutex);
      s->left = seen;
    }
    s->left_batch.notify_one();
  }
}

}  // namespace

std::unique_ptr<batch_splitter> start_batch_splitter(const number_order& numbers) {
  auto s = std::make_unique<batch_splitter>();
  s->numbers = numbers;
  try {
    s->helper = std::thread(helper_loop, s.get());
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had: the lines are packed on the caller's
  }
  return s;
}

void stop_batch_splitter(batch_splitter& s) {
  {
    std::lock_guard lock(s.mutex);
    s.stop = true;
  }
  s.wake.notify_one();
  if (s.helper.joinable()) s.helper.join();
}

size_t fill_batch(line_batch& batch, const uint8_t* data, size_t size) {
  batch.text = data;
  batch.count = 0;
  size_t at = 0;
  while (batch.count < kBatchLines && at < size) {
    const void* end = std::memchr(data + at, '\n', size - at);
    if (end == nullptr) break;
    const size_t line_end = static_cast<size_t>(static_cast<const uint8_t*>(end) - data);
    batch.offset[batch.count] = static_cast<int32_t>(at);
    batch.length[batch.count] = static_cast<int32_t>(line_end - at);
    ++batch.count;
    at = line_end + 1;
  }
  batch.next.store(0, std::memory_order_relaxed);
  batch.round = 0;
  return at;
}

void publish_batch(batch_splitter& s, line_batch& batch) {
  {
    std::lock_guard lock(s.mutex);
    s.published = &batch;
    batch.round = ++s.round;
  }
  s.wake.notify_one();
}

void complete_batch(batch_splitter& s, line_batch& batch) {
  work_on(s.numbers, batch);
  // The helper finishes every line it claimed before it leaves the batch; until then the
  // packer sleeps.
  std::unique_lock lock(s.mutex);
  s.left_batch.wait(lock, [&] { return s.left >= batch.round; });
}

}  // namespace asciify
