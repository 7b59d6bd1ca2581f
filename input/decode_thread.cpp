#include "input/decode_thread.h"

#include <system_error>
#include <utility>

namespace asciify {
namespace {

void decode_ahead(const std::shared_ptr<decode_ring>& ring) {
  for (;;) {
    int slot = 0;
    {
      std::unique_lock lock(ring->mutex);
      ring->emptied.wait(lock, [&] { return ring->stop || ring->full_count < kRingBlocks; });
      if (ring->stop) break;
      slot = (ring->first_full + ring->full_count) % kRingBlocks;
    }
    decoded_block& block = ring->blocks[slot];
    produce_block(*ring->source, block);
    {
      std::lock_guard lock(ring->mutex);
      ++ring->full_count;
    }
    ring->filled.notify_one();
    if (block.end != block_end::none) break;
  }
  std::lock_guard lock(ring->mutex);
  ring->finished = true;
}

}  // namespace

std::shared_ptr<decode_ring> start_decode_thread(std::unique_ptr<decoding>& source) {
  auto ring = std::make_shared<decode_ring>();
  ring->source = std::move(source);
  try {
    // The thread holds the ring too: let go, it outlives the input that started it.
    ring->thread = std::thread(decode_ahead, ring);
  } catch (const std::system_error&) {
    source = std::move(ring->source);
    return nullptr;
  }
  return ring;
}

const decoded_block& next_block(decode_ring& ring) {
  std::unique_lock lock(ring.mutex);
  if (ring.holding) {
    ring.first_full = (ring.first_full + 1) % kRingBlocks;
    --ring.full_count;
    ring.holding = false;
    ring.emptied.notify_one();
  }
  ring.filled.wait(lock, [&] { return ring.full_count > 0; });
  ring.holding = true;
  return ring.blocks[ring.first_full];
}

void stop_decode_thread(decode_ring& ring, bool may_block) {
  bool finished = false;
  {
    std::lock_guard lock(ring.mutex);
    ring.stop = true;
    finished = ring.finished;
  }
  ring.emptied.notify_all();
  if (finished || !may_block) {
    ring.thread.join();
  } else {
    ring.thread.detach();
  }
}

}  // namespace asciify
