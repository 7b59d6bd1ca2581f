#include "tests/support/compression.h"

#include <cstdint>
#include <stdexcept>

#ifdef ASCIIFY_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef ASCIIFY_HAVE_LZMA
#include <lzma.h>
#endif
#ifdef ASCIIFY_HAVE_ZSTD
#include <zstd.h>
#endif

namespace asciify::test_support {
namespace {

#ifdef ASCIIFY_HAVE_ZLIB
std::string gzip(std::string_view data, int level) {
  z_stream stream{};
  if (deflateInit2(&stream, level == 0 ? 1 : level, Z_DEFLATED, 16 + MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, data.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out.resize(stream.total_out);
  return out;
}
#endif

#ifdef ASCIIFY_HAVE_LZMA
std::string xz(std::string_view data, int level) {
  std::string out(lzma_stream_buffer_bound(data.size()), '\0');
  size_t size = 0;
  if (lzma_easy_buffer_encode(static_cast<uint32_t>(level), LZMA_CHECK_CRC64, nullptr,
                              reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                              reinterpret_cast<uint8_t*>(out.data()), &size,
                              out.size()) != LZMA_OK) {
    throw std::runtime_error("lzma_easy_buffer_encode failed");
  }
  out.resize(size);
  return out;
}
#endif

#ifdef ASCIIFY_HAVE_ZSTD
std::string zstd(std::string_view data, int level) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level == 0 ? 1 : level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  std::string out(ZSTD_compressBound(data.size()), '\0');
  const size_t size = ZSTD_compress2(context, out.data(), out.size(), data.data(), data.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) throw std::runtime_error("ZSTD_compress2 failed");
  out.resize(size);
  return out;
}
#endif

}  // namespace

std::string compress(compression_kind kind, std::string_view data, [[maybe_unused]] int level) {
  switch (kind) {
#ifdef ASCIIFY_HAVE_ZLIB
    case compression_kind::gzip:
      return gzip(data, level);
#endif
#ifdef ASCIIFY_HAVE_LZMA
    case compression_kind::xz:
      return xz(data, level);
#endif
#ifdef ASCIIFY_HAVE_ZSTD
    case compression_kind::zstd:
      return zstd(data, level);
#endif
    case compression_kind::none:
      return std::string(data);
    default:
      break;
  }
  throw std::runtime_error("this build cannot compress that way");
}

std::string zstd_skippable_frame(std::string_view payload, int variant) {
  std::string frame;
  const uint32_t magic = 0x184D2A50u + static_cast<uint32_t>(variant & 15);
  const auto size = static_cast<uint32_t>(payload.size());
  for (const uint32_t word : {magic, size}) {
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((word >> shift) & 0xFF);
  }
  frame += payload;
  return frame;
}

}  // namespace asciify::test_support
