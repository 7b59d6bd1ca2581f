#include "tests/support/strict_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "format/field_format.h"
#include "format/format_codes.h"
#include "tests/support/convert_in_memory.h"
#include "text/field_text.h"
#include "text/field_writers.h"

namespace asciify::test_support {
namespace {

constexpr size_t kLimit = 256;
constexpr size_t npos = std::string_view::npos;
// An appended zero field, as wide as the layout's reference field.
constexpr int kZeroField = -1;

// The hard-wired layouts 0-7: source fields, reference field, output fields by source.
const struct {
  size_t sources;
  int reference;
  std::vector<int> outputs;
} kLayouts[8] = {{4, 0, {0, 1, 2, 3, kZeroField, kZeroField}},
                 {6, 0, {0, 1, 2, 3, 4, 5, 5, 5, 5, 5}},
                 {4, 3, {0, 1, 2, 3, 3, 3, 3, 3, kZeroField, kZeroField}},
                 {8, 0, {0, 1, 2, 3, 4, 5, 6, 6, 7, 7}},
                 {6, 4, {0, 1, 2, 3, 4, 4, 5, 5, kZeroField, kZeroField}},
                 {8, 7, {0, 1, 2, 3, 4, 5, 6, 7, kZeroField, kZeroField}},
                 {5, 0, {0, 1, 2, 3, 4, 4}},
                 {8, 0, {0, 1, 2, 3, 4, 4, 5, 6, 7, 7}}};

template <typename T>
T load(const uint8_t* raw) {
  T value;
  std::memcpy(&value, raw, sizeof value);
  return value;
}

bool free_format(const std::vector<uint8_t>& format) {
  return std::any_of(format.begin(), format.end(),
                     [](uint8_t b) { return decompose_field_format(b).free_format_mark; });
}

struct reader {
  std::string_view in;
  size_t pos = 0;  // where the line or record being read begins
  size_t at = 0;   // the read position inside a record
  bool binary = false;
  int32_t swap = 0;
  std::vector<uint8_t> formats[256];
  std::string fault;

  bool fail(const std::string& what) {
    if (fault.empty()) fault = what + " at byte " + std::to_string(pos);
    return false;
  }
  uint8_t byte(size_t i) const { return static_cast<uint8_t>(in[i]); }
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

  // The characters the converter writes for a number, or -1 after a fault.
  long render(uint8_t format, const uint8_t* raw, bool free) {
    const field_format f = decompose_field_format(format);
    char text[64];
    int32_t position = 0, stars = 0;
    if (f.type == field_type::int32) {
      stars = format_int32_field(load<int32_t>(raw), f.width, free, text, &position, swap);
    } else if (f.type == field_type::int64) {
      stars = format_int64_field(load<int64_t>(raw), f.width, free, text, &position, swap);
    } else if (f.type == field_type::float32) {
      const float v = load<float>(raw);
      if (!std::isfinite(swap ? field_text::reversed(v) : v)) {
        return fail("a 4-byte real that is NaN or infinite"), -1;
      }
      stars = format_float_field(v, f.width, free, text, &position, swap);
    } else {
      const double v = load<double>(raw), native = swap ? field_text::reversed(v) : v;
      if (!std::isfinite(native) || std::fabs(native) == std::numeric_limits<double>::max()) {
        return fail("an 8-byte real that a strict converter writes as zero or not at all"), -1;
      }
      stars = format_double_field(v, f.width, free, text, &position, swap);
    }
    if (stars != 0) return fail("a number too wide for its field"), -1;
    return free ? position : f.width;
  }

  // Reads one field's data unless `filling` (after a zero-fill marker, which sets it); returns
  // the characters it writes in a line (`free`: comma-separated), or -1 after a fault.
  long field(uint8_t format, bool free, bool& filling) {
    const field_format f = decompose_field_format(format);
    const bool real = f.type == field_type::float32 || f.type == field_type::float64;
    if (f.type == field_type::string && !filling) {
      const size_t room = f.open_ended ? in.size() - at : static_cast<size_t>(f.width);
      const size_t avail = std::min(room, in.size() - at);
      const size_t zero = in.substr(at, avail).find('\0');
      if (zero == npos && (f.open_ended || avail < room)) return fail("a string cut off"), -1;
      const size_t chars = zero == npos ? room : zero;
      at += chars + (zero == npos ? 0 : 1);
      return free || f.open_ended ? static_cast<long>(chars) : f.width;
    }
    if (f.type == field_type::string || filling) {
      return free ? (f.size == 0 ? 0 : real ? 3 : 1) : f.width;
    }
    if (at + static_cast<size_t>(f.size) > in.size()) return fail("a number cut off"), -1;
    const auto* raw = reinterpret_cast<const uint8_t*>(in.data() + at);
    at += static_cast<size_t>(f.size);
    if ((filling = is_marker(raw, f.size))) return free ? (real ? 4 : 2) : f.width;
    return render(format, raw, free);
  }

  bool line_data(const std::vector<uint8_t>& format) {
    const bool free = free_format(format);
    size_t line = free && !format.empty() ? format.size() - 1 : 0;  // the commas
    bool filling = false;
    for (uint8_t b : format) {
      const long chars = field(b, free, filling);
      if (chars < 0) return false;
      line += static_cast<size_t>(chars);
    }
    return line + 1 <= kLimit || fail("a record line longer than 255 characters");
  }

  // A hard-wired record's source fields with the line format `f` (sources first).
  bool hardwired_data(int n, const std::vector<uint8_t>& f) {
    if (f.size() < kLayouts[n].sources) return fail("a 'long' format too short");
    std::vector<uint8_t> line;
    size_t staging = 0;
    for (int s : kLayouts[n].outputs) {
      line.push_back(s == kZeroField ? f[kLayouts[n].reference] & 0x1F : f[s]);
      const field_format ff = decompose_field_format(line.back());
      staging += static_cast<size_t>(ff.type == field_type::string ? ff.width : ff.size);
    }
    if (staging > kLimit) return fail("a hard-wired line staging more than 256 bytes");
    bool filling = false;
    for (size_t s = 0; s < kLayouts[n].sources; ++s) {
      const field_format ff = decompose_field_format(f[s]);
      if (ff.open_ended) return fail("an open-ended string in a hard-wired record");
      bool strings_stay = false;  // strings are stored after a zero-fill marker too
      if (field(f[s], free_format(line), ff.size == 0 ? strings_stay : filling) < 0) return false;
    }
    return true;
  }

  // Field format bytes up to a zero byte, or (`packed`) nibble codes up to a zero code.
  bool format_at(bool packed, std::vector<uint8_t>& format) {
    format.clear();
    if (!packed) {
      const size_t zero = in.find('\0', at);
      if (zero == npos) return fail("a format without its zero byte");
      format.assign(in.begin() + static_cast<std::ptrdiff_t>(at),
                    in.begin() + static_cast<std::ptrdiff_t>(zero));
      at = zero + 1;
      return true;
    }
    for (; at < in.size(); ++at) {
      const uint8_t high = byte(at) >> 4, low = byte(at) & 15;
      if (high == 0) break;
      format.push_back(translate_nibble(high));
      if (low == 0) break;
      format.push_back(translate_nibble(low));
    }
    if (at >= in.size()) return fail("a packed format without its zero code");
    ++at;
    return true;
  }

  bool long_format(std::vector<uint8_t>& f) {
    if (at >= in.size()) return fail("a 'long' record cut off");
    const uint8_t selector = byte(at++);
    if (selector == FSF4 || selector == FSF8) {
      return format_at(selector == FSF4, f) && (f.size() < 20 || fail("a 'long' format too long"));
    }
    if (selector < FC_FIRST_CACHED || formats[selector].empty() || formats[selector].size() > 20) {
      return fail("a 'long' record without its format");
    }
    f = formats[selector];
    return true;
  }

  bool record() {
    const uint8_t code = byte(pos);
    at = pos + 1;
    std::vector<uint8_t> f;
    bool ok = false;
    if (code == FC_TEXT_LINE) {
      const bool opening = marker_at(at, "*START_BINARY") || marker_at(at, "*RESUME_BINARY");
      binary = !marker_at(at, "*SUSPEND_BINARY") && !marker_at(at, "*END_BINARY");
      ok = format_at(false, f) && (!opening || fail("an opening marker in binary mode"));
    } else if (code == FC_RESET_FORMAT) {
      ok = at < in.size() && byte(at) >= FC_FIRST_CACHED;
      if (ok) formats[byte(at++)].clear();
    } else if (code == FC_LSF4 || code == FC_LSF8) {
      ok = format_at(code == FC_LSF4, f) && line_data(f);
    } else if (code >= FC_FIRST_CACHED) {
      ok = formats[code].empty() ? format_at(false, formats[code]) : line_data(formats[code]);
    } else if (code >= 10 && code <= 17) {
      f.assign(8, 0x08);
      if (code == 10) f = {0x08, 0x30, 0x30, 0x30};
      ok = hardwired_data(code - 10, f);
    } else if (code >= 30 && code <= 37) {
      ok = long_format(f) && hardwired_data(code - 30, f);
    }
    if (!ok) return fail("a record of code " + std::to_string(code) + " that cannot be read");
    if (at - pos > kLimit) return fail("a record longer than 256 bytes");
    pos = at;
    return true;
  }

  bool header(size_t line_end) {
    const size_t header_end = in.find('\n', line_end + 1);
    if (header_end == npos || header_end + 1 - pos > kLimit) {
      return fail("a *START_BINARY line and header beyond 256 bytes");
    }
    unsigned p[8] = {};
    int major = 0, minor = 0;
    const std::string text(in.substr(line_end + 1, header_end - line_end));
    if (std::sscanf(text.c_str(), "%10d%10d  %2x%2x%2x%2x  %2x%2x%2x%2x", &major, &minor, &p[0],
                    &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7]) != 10 ||
        major != 1 || minor != 0) {
      return fail("a header line that is not version 1.0");
    }
    swap = (p[0] == 1) == (std::endian::native == std::endian::little) ? 0 : 1;
    for (auto& format : formats) format.clear();
    pos = header_end + 1;
    return binary = true;
  }

  bool ascii_line() {
    const size_t end = in.find('\n', pos);
    if (end == npos) return fail("a last line without end-of-line byte");
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

bool needs_extension(std::string_view text) {
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != npos; start = end + 1) {
    if (end - start > 255) return true;
  }
  return start < text.size();
}

}  // namespace

std::string strict_format_fault(std::string_view packed) {
  reader r;
  r.in = packed;
  while (r.pos < packed.size() && (r.binary ? r.record() : r.ascii_line())) {
  }
  return r.fault;
}

std::string packing_fault(std::string_view text, const asciify::packed_text& packed) {
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
