// Batches of lines whose fields are taken apart ahead of the packing, by this thread and a
// helper thread together. A line's fields depend on that line alone, so the packing that
// uses them is the same as when it takes each line apart itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "pack/line_fields.h"

namespace asciify {

constexpr int32_t kBatchLines = 1024;

struct line_batch {
  const uint8_t* text = nullptr;
  int32_t count = 0;
  int32_t offset[kBatchLines];  // of each line in `text`
  int32_t length[kBatchLines];  // without its end-of-line byte
  bool split[kBatchLines];      // the line could be taken apart into fields[i]
  line_fields fields[kBatchLines];
  std::atomic<int32_t> next{0};  // the next line to take apart
  uint64_t round = 0;            // when the helper was given the batch; 0: never
};

struct batch_splitter {
  number_order numbers;
  line_batch batches[2];
  std::thread helper;
  std::mutex mutex;
  std::condition_variable wake;        // tells the helper of a new batch or of the stop
  std::condition_variable left_batch;  // tells the packer that the helper left its batch
  line_batch* published = nullptr;     // the batch the helper works on
  uint64_t round = 0;                  // counts the batches published
  bool stop = false;
  uint64_t left = 0;  // the last round whose batch the helper has left
};

// Starts the helper thread; nullptr when the system gives no thread.
std::unique_ptr<batch_splitter> start_batch_splitter(const number_order& numbers);

// Stops and joins the helper thread.
void stop_batch_splitter(batch_splitter& s);

// Fills `batch` with up to kBatchLines whole lines from `data` and returns the bytes they
// take (0 when `data` holds no whole line).
size_t fill_batch(line_batch& batch, const uint8_t* data, size_t size);

// Lets the helper start on the batch.
void publish_batch(batch_splitter& s, line_batch& batch);

// Takes apart what is left of the batch on this thread, then waits until the helper has left
// it (when it was published).
void complete_batch(batch_splitter& s, line_batch& batch);

}  // namespace asciify
