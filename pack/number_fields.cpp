#include "pack/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "text/field_writers.h"

namespace binify {
namespace {

// Digits the writers show at most: 8 for 4-byte reals, 15 for 8-byte reals.
constexpr int32_t kFloatDigits = 8;
constexpr int32_t kDoubleDigits = 15;
// Width of a field that carries the free-format mark.
constexpr int32_t kFreeWidth = 31;
// Room for any text a writer leaves: 31 columns, or " %lld", and its zero byte.
constexpr int32_t kTextRoom = 64;

bool is_digit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// Writes the low `size` bytes of `bits` in the file's byte order.
void store_bits(uint64_t bits, int32_t size, byte_order order, uint8_t* out) {
  for (int32_t i = 0; i < size; ++i) {
    const int32_t shift = order == byte_order::little ? 8 * i : 8 * (size - 1 - i);
    out[i] = static_cast<uint8_t>(bits >> shift);
  }
}

// The stored bytes read as this machine reads a record's field: what the converter hands its
// field writer.
template <typename T>
T as_stored(const uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

bool same_text(const char* rendered, int32_t rendered_length, const uint8_t* expected,
               int32_t expected_length) {
  return rendered_length == expected_length &&
         std::memcmp(rendered, expected, static_cast<size_t>(expected_length)) == 0;
}

// Renders the stored field with its writer and compares. A writer that reports a value too
// wide for its field ('*') never matches: a strict converter writes such values otherwise.
bool renders_as(const number_field& f, int32_t width, int32_t free_format,
                const number_order& numbers, const uint8_t* expected, int32_t length) {
  char text[kTextRoom];
  int32_t position = 0;
  int32_t stars = 0;
  const int32_t swap = numbers.swap_needed;
  switch (f.format & 0x60) {
    case 0x00:
      stars = asciify::format_int32_field(as_stored<int32_t>(f.data), width, free_format, text,
                                          &position, swap);
      break;
    case 0x40:
      stars = asciify::format_int64_field(as_stored<int64_t>(f.data), width, free_format, text,
                                          &position, swap);
      break;
    case 0x20:
      stars = asciify::format_float_field(as_stored<float>(f.data), width, free_format, text,
                                          &position, swap);
      break;
    default:
      stars = asciify::format_double_field(as_stored<double>(f.data), width, free_format, text,
                                           &position, swap);
      break;
  }
  return stars == 0 && same_text(text, position, expected, length);
}

// Parses a canonical decimal integer (-?[1-9][0-9]*, or 0) of at most 19 digits.
bool parse_integer(const uint8_t* text, int32_t length, int64_t* value) {
  const bool negative = length > 0 && text[0] == '-';
  const int32_t first = negative ? 1 : 0;
  const int32_t digits = length - first;
  if (digits < 1 || digits > 19 || (text[first] == '0' && digits > 1)) return false;
  if (negative && text[first] == '0') return false;  // "-0" is no writer's text
  uint64_t magnitude = 0;
  for (int32_t i = first; i < length; ++i) {
    if (!is_digit(text[i])) return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  // 19 digits reach 9999999999999999999, beyond the 8-byte range: keep to it.
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// The integer as a 4-byte field when it fits and is not the zero-fill marker, else 8 bytes
// (never the 8-byte marker, which parse_integer cannot produce).
void integer_field(int64_t value, int32_t width, const number_order& numbers, number_field* f) {
  const bool fits4 = value > std::numeric_limits<int32_t>::min() &&
                     value <= std::numeric_limits<int32_t>::max();
  f->size = fits4 ? 4 : 8;
  f->format = static_cast<uint8_t>((fits4 ? 0x00 : 0x40) | width);
  store_bits(static_cast<uint64_t>(value), f->size, numbers.order, f->data);
}

bool float_field(float value, int32_t width, const number_order& numbers, number_field* f) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  // NaN and infinities are texts of this project only; -0.0 has the zero-fill marker's bits.
  if (!std::isfinite(value) || bits == 0x80000000u) return false;
  f->size = 4;
  f->format = static_cast<uint8_t>(0x20 | width);
  store_bits(bits, 4, numbers.order, f->data);
  return true;
}

bool double_field(double value, int32_t width, const number_order& numbers, number_field* f) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  // The largest magnitude is written as zero by a strict converter.
  if (!std::isfinite(value) || std::fabs(value) == std::numeric_limits<double>::max() ||
      bits == 0x8000000000000000u) {
    return false;
  }
  f->size = 8;
  f->format = static_cast<uint8_t>(0x60 | width);
  store_bits(bits, 8, numbers.order, f->data);
  return true;
}

// Tries the nearest 4-byte real, then the nearest 8-byte real, at `width`. Texts with more
// significant digits than a writer shows are not tried with it.
bool real_field(const uint8_t* number, int32_t number_length, int32_t significant,
                int32_t width, int32_t free_format, const uint8_t* expected,
                int32_t expected_length, const number_order& numbers, number_field* f) {
  const char* first = reinterpret_cast<const char*>(number);
  const char* last = first + number_length;
  if (significant <= kFloatDigits) {
    float value = 0;
    const auto parsed = std::from_chars(first, last, value);
    if (parsed.ec == std::errc{} && parsed.ptr == last && float_field(value, width, numbers, f) &&
        renders_as(*f, width, free_format, numbers, expected, expected_length)) {
      return true;
    }
  }
  if (significant > kDoubleDigits) return false;
  double value = 0;
  const auto parsed = std::from_chars(first, last, value);
  return parsed.ec == std::errc{} && parsed.ptr == last &&
         double_field(value, width, numbers, f) &&
         renders_as(*f, width, free_format, numbers, expected, expected_length);
}

}  // namespace

number_text match_number(const uint8_t* text, int32_t at, int32_t length) {
  number_text shape;
  shape.end = at;
  int32_t i = at;
  if (i < length && text[i] == '-') ++i;
  const int32_t digits_start = i;
  bool leading = true;
  int32_t significant = 0;
  auto take_digits = [&] {
    while (i < length && is_digit(text[i])) {
      leading = leading && text[i] == '0';
      if (!leading) ++significant;
      ++i;
    }
  };
  take_digits();
  if (i == digits_start) return shape;
  shape.integer = true;
  if (i < length && text[i] == '.') {
    ++i;
    shape.integer = false;
    take_digits();
  }
  if (i + 1 < length && text[i] == 'E') {
    int32_t j = i + 1;
    if (text[j] == '-') ++j;
    if (j < length && is_digit(text[j])) {
      while (j < length && is_digit(text[j])) ++j;
      i = j;
      shape.integer = false;
    }
  }
  shape.end = i;
  shape.significant = significant;
  return shape;
}

bool fixed_number_field(const uint8_t* field, int32_t width, int32_t spaces, bool integer,
                        int32_t significant, const number_order& numbers, number_field* out) {
  const uint8_t* number = field + spaces;
  const int32_t length = width - spaces;
  if (width < 1 || width > kMaxNumberWidth || length < 1) return false;
  if (integer) {
    int64_t value = 0;
    if (!parse_integer(number, length, &value)) return false;
    integer_field(value, width, numbers, out);
    return renders_as(*out, width, 0, numbers, field, width);
  }
  return real_field(number, length, significant, width, 0, field, width, numbers, out);
}

bool free_number_field(const uint8_t* token, int32_t length, const number_order& numbers,
                       number_field* out) {
  const int32_t spaces = length > 0 && token[0] == ' ' ? 1 : 0;
  const number_text shape = match_number(token, spaces, length);
  if (shape.end != length || length - spaces < 1) return false;
  const uint8_t* number = token + spaces;
  if (shape.integer) {
    int64_t value = 0;
    if (spaces == 0 || !parse_integer(number, length - 1, &value)) return false;
    integer_field(value, kFreeWidth, numbers, out);
    return renders_as(*out, kFreeWidth, 1, numbers, token, length);
  }
  // At the mark's width the writer leaves one space before the number; at the token's own
  // width a text that fills it, or has one space, is left as it is.
  if (spaces == 1 && real_field(number, length - 1, shape.significant, kFreeWidth, 1, token,
                                length, numbers, out)) {
    return true;
  }
  return length <= kMaxNumberWidth &&
         real_field(number, length - spaces, shape.significant, length, 1, token, length,
                    numbers, out);
}

}  // namespace binify
