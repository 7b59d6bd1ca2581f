// The cached formats of a binary section as the packer keeps them: which layout each format
// code (50-255) holds, which layouts have been met before (a layout met a second time gets a
// code), and which code to take back, by a format reset, when every code is in use.
#pragma once

#include <cstdint>

namespace asciify {

constexpr int32_t kFirstCachedCode = 50;
constexpr int32_t kCodeCount = 256;
// Longest format a definition record carries: the code, the bytes and the zero byte fit 256.
constexpr int32_t kMaxDefinedFormat = 254;

struct format_cache {
  struct slot {
    int32_t count = 0;  // 0: the code is free
    uint64_t hash = 0;
    uint64_t last_use = 0;
    uint8_t bytes[kMaxDefinedFormat];
  };
  slot slots[kCodeCount];
  // Code of each layout by its hash (direct-mapped; 0 is none). A lookup checks the bytes.
  static constexpr int32_t kIndexSize = 4096;
  uint8_t index[kIndexSize] = {};
  // Hashes of layouts met once, direct-mapped: a collision only forgets a layout.
  static constexpr int32_t kSeenSize = 8192;
  uint64_t seen[kSeenSize] = {};
  uint64_t clock = 0;
  // Changes whenever a code is defined or the cache cleared: a record chosen at one
  // generation stays valid while it lasts.
  uint64_t generation = 0;
};

uint64_t hash_format(const uint8_t* bytes, int32_t count);

// Forgets every code and every layout met: a new binary section.
void clear_format_cache(format_cache& cache);

// The code that holds exactly these bytes, or 0.
int32_t find_cached_code(const format_cache& cache, const uint8_t* bytes, int32_t count,
                         uint64_t hash);

// Whether the layout was met before.
bool seen_before(const format_cache& cache, uint64_t hash);
void mark_seen(format_cache& cache, uint64_t hash);

// The code a new definition goes to: a free one, or else the one unused for longest, which
// then needs a format reset first (`*needs_reset`).
int32_t code_for_definition(const format_cache& cache, bool* needs_reset);

// Records that `code` now holds the bytes, and that it was used.
void define_cached_code(format_cache& cache, int32_t code, const uint8_t* bytes, int32_t count,
                        uint64_t hash);
void touch_code(format_cache& cache, int32_t code);

}  // namespace asciify
