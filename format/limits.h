// The sizes the format allows: what a reader is sure to take in one piece.
#pragma once

#include <cstdint>

namespace asciify {

// Every line, every marker line with its header and every binary record must fit in 256
// bytes, which is all a reader holds ahead of its position (ASCII lines are the exception
// this converter makes: they may be of any length).
constexpr int32_t kMaxRecordSize = 256;
// Longest line a record may carry, without its end-of-line byte.
constexpr int32_t kMaxRecordLine = kMaxRecordSize - 1;

// A format's field count is one byte.
constexpr int32_t kMaxFormatFields = 255;

// Widest fixed-width string field (0xFF, width 127, is the free-format mark) and widest
// numeric field in fixed columns (width 31 is the free-format mark).
constexpr int32_t kMaxStringWidth = 126;
constexpr int32_t kMaxNumberWidth = 30;

// Field format bytes of a hard-wired line (6 or 10 fields; a 'long' format holds at most 19 and
// its end), and the bytes of field data a hard-wired line stages for the line writer.
constexpr int32_t kHardwiredFormatSize = 20;
constexpr int32_t kHardwiredStaging = 256;

}  // namespace asciify
