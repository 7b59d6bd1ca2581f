#include "text/field_writers.h"

#include <cstdio>
#include <cstring>

#include "text/byte_order.h"
#include "text/real_text.h"

namespace asciify {
namespace {

// Places an integer's text: in free format one space and the number, in fixed columns the
// number right-aligned in `width` columns, or `width` '*' when it is wider than its field.
int32_t place_integer(const char* digits, int32_t width, int32_t free_format, char* line,
                      int32_t* line_position) {
  if (width < 0) width = 0;
  char* field = line + *line_position;
  const auto length = static_cast<int32_t>(std::strlen(digits));
  if (free_format != 0) {
    field[0] = ' ';
    std::memcpy(field + 1, digits, static_cast<size_t>(length) + 1);
    *line_position += length + 1;
    return 0;
  }
  int32_t stars = 0;
  if (length > width) {
    std::memset(field, '*', static_cast<size_t>(width));
    stars = width > 0 ? 1 : 0;
  } else {
    std::memset(field, ' ', static_cast<size_t>(width - length));
    std::memcpy(field + width - length, digits, static_cast<size_t>(length));
  }
  field[width] = '\0';
  *line_position += width;
  return stars;
}

// Reduces the leading spaces of a free-format real text of `width` characters to one and
// returns how far the line position moves.
int32_t squeeze_leading_spaces(char* field, int32_t width) {
  int32_t spaces = 0;
  while (spaces < width && field[spaces] == ' ') ++spaces;
  if (spaces <= 1) return width;
  // The text and its zero byte move left; source and destination overlap.
  std::memmove(field + 1, field + spaces, static_cast<size_t>(width - spaces) + 1);
  return width - spaces + 1;
}

// Places a real's text. `is_zero` is the zero test on the value as it stood in the record;
// `write_text` renders the (byte-order corrected) value in the field.
template <typename Real, typename WriteText>
int32_t place_real(Real value, bool is_zero, int32_t width, int32_t free_format, char* line,
                   int32_t* line_position, int32_t swap_needed, WriteText write_text) {
  if (width < 0) width = 0;
  char* field = line + *line_position;
  if (is_zero && free_format != 0) {
    std::memcpy(field, " 0.0", 5);
    *line_position += 4;
    return 0;
  }
  Real own = value;
  if (is_zero) {
    own = Real{0};  // the value as read in this machine's order may be a negative zero
  } else if (swap_needed != 0) {
    endian_swap(&own, static_cast<int32_t>(sizeof own));
  }
  const bool fits = write_text(own, width, field);
  if (!fits) {
    *line_position += width;
    return width > 0 ? 1 : 0;
  }
  *line_position += free_format != 0 ? squeeze_leading_spaces(field, width) : width;
  return 0;
}

}  // namespace

int32_t format_int32_field(int32_t value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed) {
  int32_t own = value;
  if (swap_needed != 0) endian_swap(&own, 4);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", own);
  return place_integer(digits, width, free_format, line, line_position);
}

int32_t format_int64_field(int64_t value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed) {
  int64_t own = value;
  if (swap_needed != 0) endian_swap(&own, 8);
  char digits[24];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(own));
  return place_integer(digits, width, free_format, line, line_position);
}

int32_t format_float_field(float value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed) {
  return place_real(value, value == 0.0f, width, free_format, line, line_position, swap_needed,
                    [](float x, int32_t w, char* out) { return float_to_text(x, w, out, 0, 8); });
}

int32_t format_double_field(double value, int32_t width, int32_t free_format, char* line,
                            int32_t* line_position, int32_t swap_needed) {
  return place_real(
      value, value == 0.0, width, free_format, line, line_position, swap_needed,
      [](double x, int32_t w, char* out) { return double_to_text(x, w, out, 0, 15); });
}

}  // namespace asciify
