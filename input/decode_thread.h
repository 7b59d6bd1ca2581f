// Decompression on a thread of its own: a small ring of blocks filled ahead of the reader.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "input/decoding.h"

namespace asciify {

constexpr int kRingBlocks = 4;

struct decode_ring {
  std::unique_ptr<decoding> source;  // used by the decoding thread only, once started
  decoded_block blocks[kRingBlocks];
  std::mutex mutex;
  std::condition_variable filled;   // a block was filled, for the reader
  std::condition_variable emptied;  // a block was given back, or stop, for the decoder
  int first_full = 0;               // the oldest filled block
  int full_count = 0;               // blocks filled and not yet given back
  bool holding = false;             // the reader is reading the oldest filled block
  bool stop = false;
  bool finished = false;  // the decoding thread is done with the source
  std::thread thread;
};

// Starts decompressing `source` on a new thread. Returns nothing when no thread can be had,
// with `source` untouched.
std::shared_ptr<decode_ring> start_decode_thread(std::unique_ptr<decoding>& source);

// Gives back the block read last and waits for the next one. Not called again after a block
// that ends the input.
const decoded_block& next_block(decode_ring& ring);

// Ends the thread. It is waited for when it reads a regular file or a reader, which cannot
// keep it long; one that may be waiting for a pipe or a terminal is let go and ends by
// itself, closing the input, once its read returns.
void stop_decode_thread(decode_ring& ring, bool may_block);

}  // namespace asciify
