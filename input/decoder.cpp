#include "input/decoder.h"

namespace asciify {
namespace {

bool starts_with(const uint8_t* bytes, size_t size, const uint8_t* signature, size_t length) {
  if (size < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != signature[i]) return false;
  }
  return true;
}

}  // namespace

compression_kind detect_compression(const uint8_t* bytes, size_t size) {
  static constexpr uint8_t kGzip[] = {0x1F, 0x8B};
  static constexpr uint8_t kXz[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
  static constexpr uint8_t kZstdFrame[] = {0x28, 0xB5, 0x2F, 0xFD};
  // A zstd skippable frame: magic 0x184D2A50 to 0x184D2A5F, little-endian.
  static constexpr uint8_t kZstdSkippable[] = {0x2A, 0x4D, 0x18};
  if (starts_with(bytes, size, kGzip, sizeof kGzip)) return compression_kind::gzip;
  if (starts_with(bytes, size, kXz, sizeof kXz)) return compression_kind::xz;
  if (starts_with(bytes, size, kZstdFrame, sizeof kZstdFrame)) return compression_kind::zstd;
  if (size >= 4 && (bytes[0] & 0xF0) == 0x50 &&
      starts_with(bytes + 1, size - 1, kZstdSkippable, sizeof kZstdSkippable)) {
    return compression_kind::zstd;
  }
  return compression_kind::none;
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
