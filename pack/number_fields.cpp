#include "pack/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "text/field_text.h"
#include "text/field_writers.h"

namespace asciify {
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
      stars =
          format_int32_field(as_stored<int32_t>(f.data), width, free_format, text, &position, swap);
      break;
    case 0x40:
      stars =
          format_int64_field(as_stored<int64_t>(f.data), width, free_format, text, &position, swap);
      break;
    case 0x20:
      stars =
          format_float_field(as_stored<float>(f.data), width, free_format, text, &position, swap);
      break;
    default:
      stars =
          format_double_field(as_stored<double>(f.data), width, free_format, text, &position, swap);
      break;
  }
  return stars == 0 && same_text(text, position, expected, length);
}

// The value of a canonical integer text (no leading zeros, not "-0") within the 8-byte range.
bool integer_value(const number_text& shape, const uint8_t* text, int64_t* value) {
  const int32_t first = shape.start + (shape.negative ? 1 : 0);
  const int32_t digits = shape.end - first;
  const bool zero = digits == 1 && text[first] == '0';
  if (zero ? shape.negative : (text[first] == '0' || digits > 19)) return false;
  if (shape.mantissa > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  const auto magnitude = static_cast<int64_t>(shape.mantissa);
  *value = shape.negative ? -magnitude : magnitude;
  return true;
}

// The integer as a 4-byte field when it fits and is not the zero-fill marker, else 8 bytes
// (never the 8-byte marker, which integer_value cannot produce).
void integer_field(int64_t value, int32_t width, const number_order& numbers, number_field* f) {
  const bool fits4 =
      value > std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
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

// Powers of ten that doubles hold exactly.
constexpr double kExactPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The nearest double of the text, found without the library where exact arithmetic allows:
// a mantissa of at most 53 bits times or divided by an exact power of ten is one correctly
// rounded operation.
bool quick_double(const number_text& shape, double* value) {
  if (shape.significant > 19 || shape.mantissa > (uint64_t{1} << 53) || shape.exponent < -22 ||
      shape.exponent > 22) {
    return false;
  }
  const auto m = static_cast<double>(shape.mantissa);
  const double v =
      shape.exponent >= 0 ? m * kExactPowers[shape.exponent] : m / kExactPowers[-shape.exponent];
  *value = shape.negative ? -v : v;
  return true;
}

// The nearest float of the text from its nearest double d: rounding d again gives it, unless d
// lies exactly halfway between two floats (then the text may lie on either side).
bool quick_float(double d, float* value) {
  const double magnitude = std::fabs(d);
  if (magnitude != 0 && (magnitude < 0x1p-126 || magnitude >= 0x1p127)) return false;
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  if ((bits & ((uint64_t{1} << 29) - 1)) == (uint64_t{1} << 28)) return false;
  *value = static_cast<float>(d);
  return true;
}

template <typename Real>
bool library_parse(const uint8_t* text, const number_text& shape, Real* value) {
  const char* first = reinterpret_cast<const char*>(text + shape.start);
  const char* last = reinterpret_cast<const char*>(text + shape.end);
  const auto parsed = std::from_chars(first, last, *value);
  return parsed.ec == std::errc{} && parsed.ptr == last;
}

// Tries the nearest 4-byte real, then the nearest 8-byte real, at `width`. Texts with more
// significant digits than a writer shows are not tried with it.
bool real_field(const uint8_t* text, const number_text& shape, int32_t width, int32_t free_format,
                const uint8_t* expected, int32_t expected_length, const number_order& numbers,
                number_field* f) {
  double nearest = 0;
  const bool quick = quick_double(shape, &nearest);
  if (shape.significant <= kFloatDigits) {
    float value = 0;
    if ((quick ? quick_float(nearest, &value) : false) || library_parse(text, shape, &value)) {
      if (float_field(value, width, numbers, f) &&
          renders_as(*f, width, free_format, numbers, expected, expected_length)) {
        return true;
      }
    }
  }
  if (shape.significant > kDoubleDigits) return false;
  if (!quick && !library_parse(text, shape, &nearest)) return false;
  return double_field(nearest, width, numbers, f) &&
         renders_as(*f, width, free_format, numbers, expected, expected_length);
}

// Renders a 4-byte integer in fixed columns and compares: by the writer's quick path where it
// applies (eight columns or more), else by the writer.
bool integer_renders_as(const number_field& f, int64_t value, int32_t width,
                        const number_order& numbers, const uint8_t* expected) {
  char text[kTextRoom];
  if (f.size == 4 && field_text::put_fixed_integer(value, width, text)) {
    return std::memcmp(text, expected, static_cast<size_t>(width)) == 0;
  }
  return renders_as(f, width, 0, numbers, expected, width);
}

}  // namespace

number_text match_number(const uint8_t* text, int32_t at, int32_t length) {
  number_text shape{};
  shape.start = shape.end = at;
  int32_t i = at;
  shape.negative = i < length && text[i] == '-';
  if (shape.negative) ++i;
  const int32_t digits_start = i;
  // The first 19 significant digits make the mantissa; later ones of the integer part raise
  // the exponent, later ones of the fraction are left out.
  uint64_t mantissa = 0;
  int32_t significant = 0;
  int32_t exponent = 0;
  for (; i < length; ++i) {
    const uint32_t digit = static_cast<uint32_t>(text[i]) - '0';
    if (digit > 9) break;
    if (significant < 19) {
      mantissa = mantissa * 10 + digit;
      significant += mantissa != 0 ? 1 : 0;
    } else {
      ++significant;
      ++exponent;
    }
  }
  if (i == digits_start) return shape;
  shape.integer = true;
  if (i < length && text[i] == '.') {
    shape.integer = false;
    for (++i; i < length; ++i) {
      const uint32_t digit = static_cast<uint32_t>(text[i]) - '0';
      if (digit > 9) break;
      if (significant < 19) {
        mantissa = mantissa * 10 + digit;
        significant += mantissa != 0 ? 1 : 0;
        --exponent;
      } else {
        ++significant;
      }
    }
  }
  if (i + 1 < length && text[i] == 'E') {
    int32_t j = i + 1;
    const bool negative_exponent = text[j] == '-';
    if (negative_exponent) ++j;
    if (j < length && is_digit(text[j])) {
      int32_t power = 0;
      for (; j < length && is_digit(text[j]); ++j) {
        if (power < 100000) power = power * 10 + (text[j] - '0');
      }
      exponent += negative_exponent ? -power : power;
      i = j;
      shape.integer = false;
    }
  }
  shape.end = i;
  shape.significant = significant;
  shape.mantissa = mantissa;
  shape.exponent = exponent;
  return shape;
}

bool fixed_number_field(const uint8_t* field, int32_t width, const number_text& shape,
                        const number_order& numbers, number_field* out) {
  const uint8_t* text = field + width - shape.end;  // the text the shape's positions refer to
  if (width < 1 || width > kMaxNumberWidth || shape.end - shape.start > width) return false;
  for (int32_t i = 0; i < width - (shape.end - shape.start); ++i) {
    if (field[i] != ' ') return false;
  }
  if (shape.integer) {
    int64_t value = 0;
    if (!integer_value(shape, text, &value)) return false;
    integer_field(value, width, numbers, out);
    return integer_renders_as(*out, value, width, numbers, field);
  }
  return real_field(text, shape, width, 0, field, width, numbers, out);
}

bool free_number_field(const uint8_t* token, int32_t length, const number_order& numbers,
                       number_field* out) {
  const int32_t spaces = length > 0 && token[0] == ' ' ? 1 : 0;
  const number_text shape = match_number(token, spaces, length);
  if (shape.end != length || length - spaces < 1) return false;
  if (shape.integer) {
    int64_t value = 0;
    if (spaces == 0 || !integer_value(shape, token, &value)) return false;
    integer_field(value, kFreeWidth, numbers, out);
    return renders_as(*out, kFreeWidth, 1, numbers, token, length);
  }
  // At the mark's width the writer leaves one space before the number; at the token's own
  // width a text that fills it, or has one space, is left as it is.
  if (spaces == 1 && real_field(token, shape, kFreeWidth, 1, token, length, numbers, out)) {
    return true;
  }
  return length <= kMaxNumberWidth &&
         real_field(token, shape, length, 1, token, length, numbers, out);
}

}  // namespace asciify
