// Compressed test inputs made with the decompression libraries' own compressors.
#pragma once

#include <string>
#include <string_view>

#include "input/input_stream.h"

namespace asciify::test_support {

// `data` as one complete stream at a fast level: a gzip member, an xz stream with a CRC64
// check, or a zstd frame with its checksum. Plain data is returned as it is. Whatever the
// input layer of this build reads can be made.
std::string compress(compression_kind kind, std::string_view data);

// A zstd skippable frame carrying `payload`; `variant` (0 to 15) picks its magic number.
std::string zstd_skippable_frame(std::string_view payload, int variant = 0);

}  // namespace asciify::test_support
