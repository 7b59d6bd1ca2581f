#include "text/field_writers.h"

#include <cstring>
#include <type_traits>

#include "text/digit_text.h"
#include "text/field_text.h"
#include "text/real_text.h"

namespace asciify {
namespace {

using field_text::reversed;

// Places an integer's text: in free format one space and the number, in fixed columns the
// number right-aligned in `width` columns, or `width` '*' when it is wider than its field. The
// text is followed by a zero byte.
template <typename Integer>
int32_t place_integer(Integer value, int32_t width, int32_t free_format, char* line,
                      int32_t* line_position) {
  if (width < 0) width = 0;
  char* field = line + *line_position;
  if (free_format == 0 && field_text::put_fixed_integer(value, width, field)) {
    *line_position += width;
    return 0;
  }
  using Unsigned = std::make_unsigned_t<Integer>;
  const Unsigned magnitude = value < 0
                                 ? static_cast<Unsigned>(Unsigned{0} - static_cast<Unsigned>(value))
                                 : static_cast<Unsigned>(value);
  char digits[24];
  char* const end = digits + sizeof digits;
  char* first = digit_text::write_digits_backwards(magnitude, 1, end);
  if (value < 0) *--first = '-';
  const auto length = static_cast<int32_t>(end - first);
  if (free_format != 0) {
    field[0] = ' ';
    digit_text::copy_short(field + 1, first, static_cast<size_t>(length));
    field[length + 1] = '\0';
    *line_position += length + 1;
    return 0;
  }
  int32_t stars = 0;
  if (length > width) {
    digit_text::fill_short(field, '*', static_cast<size_t>(width));
    stars = width > 0 ? 1 : 0;
  } else {
    digit_text::fill_short(field, ' ', static_cast<size_t>(width - length));
    digit_text::copy_short(field + width - length, first, static_cast<size_t>(length));
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
    own = reversed(own);
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
  const int32_t own = swap_needed != 0 ? reversed(value) : value;
  return place_integer(own, width, free_format, line, line_position);
}

int32_t format_int64_field(int64_t value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed) {
  const int64_t own = swap_needed != 0 ? reversed(value) : value;
  return place_integer(own, width, free_format, line, line_position);
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
