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

[[maybe_unused]] void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + " failed");
}

}  // namespace

std::string compress(compression_kind kind, std::string_view data) {
  [[maybe_unused]] const auto* in = reinterpret_cast<const uint8_t*>(data.data());
  std::string out;
  switch (kind) {
    case compression_kind::none:
      return std::string(data);
#ifdef ASCIIFY_HAVE_ZLIB
    case compression_kind::gzip: {
      z_stream stream{};
      require(deflateInit2(&stream, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK,
              "deflateInit2");
      out.resize(deflateBound(&stream, data.size()) + 64);
      stream.next_in = const_cast<Bytef*>(in);
      stream.avail_in = static_cast<uInt>(data.size());
      stream.next_out = reinterpret_cast<Bytef*>(out.data());
      stream.avail_out = static_cast<uInt>(out.size());
      const int result = deflate(&stream, Z_FINISH);
      deflateEnd(&stream);
      require(result == Z_STREAM_END, "deflate");
      out.resize(stream.total_out);
      return out;
    }
#endif
#ifdef ASCIIFY_HAVE_LZMA
    case compression_kind::xz: {
      out.resize(lzma_stream_buffer_bound(data.size()));
      size_t size = 0;
      require(lzma_easy_buffer_encode(0, LZMA_CHECK_CRC64, nullptr, in, data.size(),
                                      reinterpret_cast<uint8_t*>(out.data()), &size,
                                      out.size()) == LZMA_OK,
              "lzma_easy_buffer_encode");
      out.resize(size);
      return out;
    }
#endif
#ifdef ASCIIFY_HAVE_ZSTD
    case compression_kind::zstd: {
      ZSTD_CCtx* context = ZSTD_createCCtx();
      ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 1);
      ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
      out.resize(ZSTD_compressBound(data.size()));
      const size_t size = ZSTD_compress2(context, out.data(), out.size(), data.data(), data.size());
      ZSTD_freeCCtx(context);
      require(!ZSTD_isError(size), "ZSTD_compress2");
      out.resize(size);
      return out;
    }
#endif
    default:
      throw std::runtime_error("this build cannot compress that way");
  }
}

std::string zstd_skippable_frame(std::string_view payload, int variant) {
  std::string frame;
  const uint32_t magic = 0x184D2A50u + static_cast<uint32_t>(variant & 15);
  for (const uint32_t word : {magic, static_cast<uint32_t>(payload.size())}) {
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((word >> shift) & 0xFF);
  }
  return frame + std::string(payload);
}

}  // namespace asciify::test_support
