#include "input/decoder.h"

#if defined(ASCIIFY_HAVE_LZMA)
#include <lzma.h>
#elif defined(ASCIIFY_HAVE_ZLIB)
#include <zlib.h>
#endif

namespace asciify {
namespace {

// The magic bytes that open each kind of stream.
constexpr uint8_t kGzip[] = {0x1F, 0x8B, 0x08};
constexpr uint8_t kXz[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
constexpr uint8_t kZstdFrame[] = {0x28, 0xB5, 0x2F, 0xFD};
// After a first byte 0x50 to 0x5F.
constexpr uint8_t kZstdSkippable[] = {0x2A, 0x4D, 0x18};

// Whether the first bytes agree with `signature` as far as both go.
template <size_t length>
bool agrees_with(const uint8_t* bytes, size_t size, const uint8_t (&signature)[length]) {
  for (size_t i = 0; i < size && i < length; ++i) {
    if (bytes[i] != signature[i]) return false;
  }
  return true;
}

bool starts_with(const uint8_t* bytes, size_t size, const uint8_t* signature, size_t length) {
  if (size < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != signature[i]) return false;
  }
  return true;
}

uint32_t little_endian_32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

// Whether the CRC-32 of the stream flags is the one stored after them, computed by liblzma or
// zlib (the same CRC). A build with neither tells xz by its magic and flags alone.
bool xz_flags_check(const uint8_t* flags, uint32_t stored) {
#if defined(ASCIIFY_HAVE_LZMA)
  return lzma_crc32(flags, 2, 0) == stored;
#elif defined(ASCIIFY_HAVE_ZLIB)
  return crc32(0, flags, 2) == stored;
#else
  (void)flags;
  (void)stored;
  return true;
#endif
}

// The 10-byte member header: signature, method 8 (deflate), no reserved flag.
bool gzip_header(const uint8_t* bytes, size_t size) {
  return size >= 10 && starts_with(bytes, size, kGzip, sizeof kGzip) && (bytes[3] & 0xE0) == 0;
}

// The 12-byte stream header: magic, stream flags (a zero byte, then a check type with the
// upper four bits clear) and the CRC-32 of the flags.
bool xz_header(const uint8_t* bytes, size_t size) {
  return size >= 12 && starts_with(bytes, size, kXz, sizeof kXz) && bytes[6] == 0 &&
         (bytes[7] & 0xF0) == 0 && xz_flags_check(bytes + 6, little_endian_32(bytes + 8));
}

// A frame's magic and its whole frame header, whose descriptor has the reserved bit clear; or
// a skippable frame's magic (0x184D2A50 to 0x184D2A5F) and its size field.
bool zstd_header(const uint8_t* bytes, size_t size) {
  if (size >= 8 && (bytes[0] & 0xF0) == 0x50 &&
      starts_with(bytes + 1, size - 1, kZstdSkippable, sizeof kZstdSkippable)) {
    return true;
  }
  if (size < 5 || !starts_with(bytes, size, kZstdFrame, sizeof kZstdFrame)) return false;
  const uint8_t descriptor = bytes[4];
  if ((descriptor & 0x08) != 0) return false;
  const bool single_segment = (descriptor & 0x20) != 0;
  static constexpr size_t kDictionaryIdBytes[] = {0, 1, 2, 4};
  static constexpr size_t kContentSizeBytes[] = {0, 2, 4, 8};
  const unsigned content_flag = descriptor >> 6;
  const size_t content_size_bytes =
      content_flag == 0 && single_segment ? 1 : kContentSizeBytes[content_flag];
  const size_t header =
      5 + (single_segment ? 0 : 1) + kDictionaryIdBytes[descriptor & 3] + content_size_bytes;
  return size >= header;
}

}  // namespace

compression_kind detect_compression(const uint8_t* bytes, size_t size) {
  if (gzip_header(bytes, size)) return compression_kind::gzip;
  if (xz_header(bytes, size)) return compression_kind::xz;
  if (zstd_header(bytes, size)) return compression_kind::zstd;
  return compression_kind::none;
}

bool may_begin_compressed_stream(const uint8_t* bytes, size_t size) {
  if (size == 0) return false;
  const bool skippable =
      (bytes[0] & 0xF0) == 0x50 && size > 1 && agrees_with(bytes + 1, size - 1, kZstdSkippable);
  return agrees_with(bytes, size, kGzip) || agrees_with(bytes, size, kXz) ||
         agrees_with(bytes, size, kZstdFrame) || skippable;
}

const decoder_ops* decoder_for(compression_kind kind) {
  switch (kind) {
    case compression_kind::gzip:
      return gzip_decoder();
    case compression_kind::xz:
      return xz_decoder();
    case compression_kind::zstd:
      return zstd_decoder();
    case compression_kind::none:
      break;
  }
  return nullptr;
}

}  // namespace asciify
