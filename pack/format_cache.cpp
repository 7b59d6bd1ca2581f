#include "pack/format_cache.h"

#include <cstring>

namespace asciify {
namespace {

int32_t index_position(uint64_t hash) {
  return static_cast<int32_t>(hash % format_cache::kIndexSize);
}

int32_t seen_position(uint64_t hash) {
  return static_cast<int32_t>((hash >> 20) % format_cache::kSeenSize);
}

}  // namespace

uint64_t hash_format(const uint8_t* bytes, int32_t count) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(count);
  for (int32_t i = 0; i < count; ++i) {
    hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    hash ^= hash >> 29;
  }
  return hash | 1;  // never 0, the empty entry of the seen table
}

void clear_format_cache(format_cache& cache) {
  for (format_cache::slot& s : cache.slots) s.count = 0;
  std::memset(cache.index, 0, sizeof cache.index);
  std::memset(cache.seen, 0, sizeof cache.seen);
  ++cache.generation;
}

int32_t find_cached_code(const format_cache& cache, const uint8_t* bytes, int32_t count,
                         uint64_t hash) {
  const int32_t code = cache.index[index_position(hash)];
  if (code == 0) return 0;
  const format_cache::slot& s = cache.slots[code];
  if (s.count != count || s.hash != hash ||
      std::memcmp(s.bytes, bytes, static_cast<size_t>(count)) != 0) {
    return 0;
  }
  return code;
}

bool seen_before(const format_cache& cache, uint64_t hash) {
  return cache.seen[seen_position(hash)] == hash;
}

void mark_seen(format_cache& cache, uint64_t hash) {
  cache.seen[seen_position(hash)] = hash;
}

int32_t code_for_definition(const format_cache& cache, bool* needs_reset) {
  int32_t oldest = kFirstCachedCode;
  for (int32_t code = kFirstCachedCode; code < kCodeCount; ++code) {
    if (cache.slots[code].count == 0) {
      *needs_reset = false;
      return code;
    }
    if (cache.slots[code].last_use < cache.slots[oldest].last_use) oldest = code;
  }
  *needs_reset = true;
  return oldest;
}

void define_cached_code(format_cache& cache, int32_t code, const uint8_t* bytes, int32_t count,
                        uint64_t hash) {
  format_cache::slot& s = cache.slots[code];
  if (s.count != 0 && cache.index[index_position(s.hash)] == code) {
    cache.index[index_position(s.hash)] = 0;
  }
  s.count = count;
  s.hash = hash;
  std::memcpy(s.bytes, bytes, static_cast<size_t>(count));
  cache.index[index_position(hash)] = static_cast<uint8_t>(code);
  touch_code(cache, code);
  ++cache.generation;
}

void touch_code(format_cache& cache, int32_t code) {
  cache.slots[code].last_use = ++cache.clock;
}

}  // namespace asciify
