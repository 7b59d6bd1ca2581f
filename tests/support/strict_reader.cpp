#include "tests/support/strict_reader.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "records/format_codes.h"
#include "tests/support/convert_in_memory.h"
#include "text/field_text.h"
#include "text/field_writers.h"

namespace asciify::test_support {
namespace {

constexpr size_t kLimit = 256;
constexpr int kSources[8] = {4, 6, 4, 8, 6, 8, 5, 8};
constexpr int kZero = -1;  // an appended zero field
constexpr int kLayouts[8][10] = {{0, 1, 2, 3, kZero, kZero},
                                 {0, 1, 2, 3, 4, 5, 5, 5, 5, 5},
                                 {0, 1, 2, 3, 3, 3, 3, 3, kZero, kZero},
                                 {0, 1, 2, 3, 4, 5, 6, 6, 7, 7},
                                 {0, 1, 2, 3, 4, 4, 5, 5, kZero, kZero},
                                 {0, 1, 2, 3, 4, 5, 6, 7, kZero, kZero},
                                 {0, 1, 2, 3, 4, 4},
                                 {0, 1, 2, 3, 4, 4, 5, 6, 7, 7}};
constexpr int kOutputs[8] = {6, 10, 10, 10, 10, 10, 6, 10};
constexpr int kReference[8] = {0, -1, 3, -1, 4, 7, -1, -1};

struct reader {
  std::string_view in;
  size_t pos = 0;
  bool binary = false;
  int32_t swap = 0;
  std::vector<uint8_t> formats[256];
  std::string fault;

  bool fail(const std::string& what) {
    if (fault.empty()) fault = what + " at byte " + std::to_string(pos);
    return false;
  }
  uint8_t at(size_t i) const { return static_cast<uint8_t>(in[i]); }

  bool marker_at(size_t p, std::string_view marker) const {
    return in.substr(p).starts_with(marker);
  }

  // The raw bytes are the zero-fill marker of their size (in the file's byte order).
  bool is_marker(const uint8_t* raw, int size) const {
    const bool file_little = (std::endian::native == std::endian::little) == (swap == 0);
    uint8_t expected[8] = {};
    expected[file_little ? size - 1 : 0] = 0x80;
    return std::memcmp(raw, expected, static_cast<size_t>(size)) == 0;
  }

  // Renders a number as the converter would; returns its text length, or -1 after a fault.
  int render(uint8_t format, const uint8_t* raw, bool free) {
    const field_format f = decompose_field_format(format);
    char text[64];
    int32_t position = 0;
    int32_t stars = 0;
    const int32_t freeness = free ? 1 : 0;
    if (f.type == field_type::int32 || f.type == field_type::int64) {
      int64_t value = 0;
      if (f.size == 4) {
        int32_t v;
        std::memcpy(&v, raw, 4);
        stars = format_int32_field(v, f.width, freeness, text, &position, swap);
      } else {
        std::memcpy(&value, raw, 8);
        stars = format_int64_field(value, f.width, freeness, text, &position, swap);
      }
    } else if (f.type == field_type::float32) {
      float v;
      std::memcpy(&v, raw, 4);
      const float native = swap ? field_text::reversed(v) : v;
      if (!std::isfinite(native)) return fail("a 4-byte real that is NaN or infinite"), -1;
      stars = format_float_field(v, f.width, freeness, text, &position, swap);
    } else {
      double v;
      std::memcpy(&v, raw, 8);
      const double native = swap ? field_text::reversed(v) : v;
      if (!std::isfinite(native) || std::fabs(native) == std::numeric_limits<double>::max()) {
        return fail("an 8-byte real that a strict converter writes as zero or not at all"), -1;
      }
      stars = format_double_field(v, f.width, freeness, text, &position, swap);
    }
    if (stars != 0) return fail("a number too wide for its field"), -1;
    return free ? position : f.width;
  }

  // One string field's data at `p`: returns the position after it, or 0 after a fault.
  size_t string_end(uint8_t format, size_t p, int* length) {
    const field_format f = decompose_field_format(format);
    const size_t limit = f.open_ended ? in.size() - p : static_cast<size_t>(f.width);
    const size_t avail = std::min(limit, in.size() - p);
    const void* zero = std::memchr(in.data() + p, 0, avail);
    if (zero == nullptr && (f.open_ended || avail < limit)) return fail("a string cut off"), 0;
    const size_t chars =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - in.data()) - p : limit;
    *length = static_cast<int>(chars);
    return p + chars + (zero ? 1 : 0);
  }

  bool free_format(const std::vector<uint8_t>& format) const {
    for (uint8_t b : format) {
      if (decompose_field_format(b).free_format_mark) return true;
    }
    return false;
  }

  // The data of a line-writer record from `p`; sets `end`. Checks the line's length.
  bool line_data(const std::vector<uint8_t>& format, size_t p, size_t* end) {
    const bool free = free_format(format);
    size_t line = 0;
    bool filling = false;
    for (size_t i = 0; i < format.size(); ++i) {
      const field_format f = decompose_field_format(format[i]);
      if (free && i > 0) ++line;
      if (f.type == field_type::string) {
        int chars = 0;
        if (!filling && (p = string_end(format[i], p, &chars)) == 0) return false;
        line += free ? static_cast<size_t>(filling ? 0 : chars)
                     : static_cast<size_t>(f.open_ended && !filling ? chars : f.width);
        continue;
      }
      if (filling) {
        line += free ? (f.type == field_type::float32 || f.type == field_type::float64 ? 3 : 1)
                     : static_cast<size_t>(f.width);
        continue;
      }
      if (p + static_cast<size_t>(f.size) > in.size()) return fail("a number cut off");
      const auto* raw = reinterpret_cast<const uint8_t*>(in.data() + p);
      p += static_cast<size_t>(f.size);
      if (is_marker(raw, f.size)) {
        filling = true;
        line += free ? (f.type == field_type::float32 || f.type == field_type::float64 ? 4 : 2)
                     : static_cast<size_t>(f.width);
        continue;
      }
      const int length = render(format[i], raw, free);
      if (length < 0) return false;
      line += static_cast<size_t>(length);
    }
    if (line + 1 > kLimit) return fail("a record line longer than 255 characters");
    *end = p;
    return true;
  }

  // A hard-wired record's source fields from `p` with the line format `f` (sources first).
  bool hardwired_data(int layout, const std::vector<uint8_t>& f, size_t p, size_t* end) {
    if (static_cast<int>(f.size()) < kSources[layout]) return fail("a 'long' format too short");
    bool filling = false;
    size_t staging = 0;
    std::vector<uint8_t> line;
    for (int k = 0; k < kOutputs[layout]; ++k) {
      const int s = kLayouts[layout][k];
      line.push_back(s == kZero ? f[kReference[layout]] & 0x1F : f[s]);
      const field_format ff = decompose_field_format(line.back());
      staging += ff.type == field_type::string ? static_cast<size_t>(ff.width)
                                               : static_cast<size_t>(ff.size);
    }
    if (staging > kLimit) return fail("a hard-wired line staging more than 256 bytes");
    for (int s = 0; s < kSources[layout]; ++s) {
      const field_format ff = decompose_field_format(f[s]);
      if (ff.type == field_type::string) {
        int chars = 0;
        if (ff.open_ended) return fail("an open-ended string in a hard-wired record");
        if ((p = string_end(f[s], p, &chars)) == 0) return false;
        continue;
      }
      if (filling) continue;
      if (p + static_cast<size_t>(ff.size) > in.size()) return fail("a number cut off");
      const auto* raw = reinterpret_cast<const uint8_t*>(in.data() + p);
      p += static_cast<size_t>(ff.size);
      filling = is_marker(raw, ff.size);
      if (!filling && render(f[s], raw, free_format(line)) < 0) return false;
    }
    *end = p;
    return true;
  }

  // The field format bytes up to a zero byte from `p`; sets `end` past the zero.
  bool plain_format(size_t p, std::vector<uint8_t>* format, size_t* end) {
    const size_t zero = in.find('\0', p);
    if (zero == std::string_view::npos) return fail("a format without its zero byte");
    format->assign(in.begin() + static_cast<std::ptrdiff_t>(p),
                   in.begin() + static_cast<std::ptrdiff_t>(zero));
    *end = zero + 1;
    return true;
  }

  bool packed_format(size_t p, std::vector<uint8_t>* format, size_t* end) {
    format->clear();
    for (; p < in.size(); ++p) {
      const uint8_t high = at(p) >> 4, low = at(p) & 15;
      if (high == 0) break;
      format->push_back(translate_nibble(high));
      if (low == 0) break;
      format->push_back(translate_nibble(low));
    }
    if (p >= in.size()) return fail("a packed format without its zero code");
    *end = p + 1;
    return true;
  }

  bool text_record(size_t* end) {
    const size_t zero = in.find('\0', pos + 1);
    if (zero == std::string_view::npos) return fail("a text line without its zero byte");
    if (marker_at(pos + 1, "*SUSPEND_BINARY") || marker_at(pos + 1, "*END_BINARY")) {
      binary = false;
    } else if (marker_at(pos + 1, "*START_BINARY") || marker_at(pos + 1, "*RESUME_BINARY")) {
      return fail("an opening marker in binary mode");
    }
    *end = zero + 1;
    return true;
  }

  bool long_format(int code, size_t p, std::vector<uint8_t>* f, size_t* end) {
    if (p >= in.size()) return fail("a 'long' record cut off");
    const uint8_t selector = at(p);
    if (selector == FSF4) return packed_format(p + 1, f, end) && (f->size() < 20 || fail("FSF4"));
    if (selector == FSF8) return plain_format(p + 1, f, end) && (f->size() < 20 || fail("FSF8"));
    if (selector < FC_FIRST_CACHED || formats[selector].empty() || formats[selector].size() > 20) {
      return fail("a 'long' record of code " + std::to_string(code) + " without its format");
    }
    *f = formats[selector];
    *end = p + 1;
    return true;
  }

  bool record() {
    const uint8_t code = at(pos);
    size_t end = pos + 1;
    std::vector<uint8_t> f;
    bool ok = false;
    if (code == FC_TEXT_LINE) {
      ok = text_record(&end);
    } else if (code == FC_RESET_FORMAT) {
      ok = pos + 2 <= in.size() && at(pos + 1) >= FC_FIRST_CACHED;
      if (ok) formats[at(pos + 1)].clear(), end = pos + 2;
    } else if (code == FC_LSF4 || code == FC_LSF8) {
      ok = (code == FC_LSF4 ? packed_format(pos + 1, &f, &end) : plain_format(pos + 1, &f, &end)) &&
           line_data(f, end, &end);
    } else if (code >= FC_FIRST_CACHED && formats[code].empty()) {
      ok = plain_format(pos + 1, &formats[code], &end);
    } else if (code >= FC_FIRST_CACHED) {
      ok = line_data(formats[code], pos + 1, &end);
    } else if (code >= 10 && code <= 17) {
      f.assign(8, 0x08);
      if (code == 10) f = {0x08, 0x30, 0x30, 0x30};
      ok = hardwired_data(code - 10, f, pos + 1, &end);
    } else if (code >= 30 && code <= 37) {
      ok = long_format(code, pos + 1, &f, &end) && hardwired_data(code - 30, f, end, &end);
    }
    if (!ok) return fail("a record of code " + std::to_string(code) + " that cannot be read");
    if (end - pos > kLimit) return fail("a record longer than 256 bytes");
    pos = end;
    return true;
  }

  bool header(size_t line_end) {
    const size_t header_end = in.find('\n', line_end + 1);
    if (header_end == std::string_view::npos || header_end + 1 - pos > kLimit) {
      return fail("a *START_BINARY line and header beyond 256 bytes");
    }
    unsigned probe[8] = {};
    int major = 0, minor = 0;
    const std::string text(in.substr(line_end + 1, header_end - line_end));
    if (std::sscanf(text.c_str(), "%10d%10d  %2x%2x%2x%2x  %2x%2x%2x%2x", &major, &minor, &probe[0],
                    &probe[1], &probe[2], &probe[3], &probe[4], &probe[5], &probe[6],
                    &probe[7]) != 10 ||
        major != 1 || minor != 0) {
      return fail("a header line that is not version 1.0");
    }
    const bool file_little = probe[0] == 1;
    swap = file_little == (std::endian::native == std::endian::little) ? 0 : 1;
    for (auto& format : formats) format.clear();
    pos = header_end + 1;
    binary = true;
    return true;
  }

  bool ascii_line() {
    const size_t end = in.find('\n', pos);
    if (end == std::string_view::npos) return fail("a last line without end-of-line byte");
    if (end + 1 - pos > kLimit) return fail("an ASCII line longer than 256 bytes");
    if (marker_at(pos, "*START_BINARY")) return header(end);
    if (marker_at(pos, "*RESUME_BINARY")) binary = true;
    if (marker_at(pos, "*SUSPEND_BINARY") || marker_at(pos, "*END_BINARY")) {
      return fail("a closing marker in ASCII mode");
    }
    pos = end + 1;
    return true;
  }
};

}  // namespace

std::string strict_format_fault(std::string_view packed) {
  reader r;
  r.in = packed;
  while (r.pos < packed.size() && (r.binary ? r.record() : r.ascii_line())) {
  }
  return r.fault;
}

namespace {

bool needs_extension(std::string_view text) {
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    if (end - start > 255) return true;
  }
  return start < text.size();
}

}  // namespace

std::string packing_fault(std::string_view text, const binify::packed_text& packed) {
  if (!packed.ok) return "refused line " + std::to_string(packed.report.refused_line);
  const conversion_capture back = convert_in_memory(packed.bytes);
  if (back.status != 0 || !back.messages.empty()) return "the converter said: " + back.messages;
  if (back.output != text) {
    size_t at = 0;
    while (at < text.size() && at < back.output.size() && text[at] == back.output[at]) ++at;
    return "converted back differently from byte " + std::to_string(at);
  }
  const bool extended = needs_extension(text);
  if (extended != (packed.report.extended_line != 0)) return "wrong note on extensions";
  const std::string strict = extended ? "" : strict_format_fault(packed.bytes);
  return strict.empty() ? "" : "beyond the strict format: " + strict;
}

}  // namespace asciify::test_support
