#include "text/line_writer.h"

#include <cstring>

#include "text/field_text.h"
#include "text/field_writers.h"
#include "text/real_text.h"

namespace asciify {
namespace {

// An open-ended string may not bring the line to this many characters.
constexpr int32_t kOpenEndedLineRoom = 256;

// The line being assembled and what the line writer needs to know about it.
struct line_in_progress {
  char* text;
  int32_t position;
  int32_t first_star_width;  // width of the first field written as '*', or -1
  bool only_numbers = true;  // (measured) numbers in fixed columns, none the zero-fill marker
  int32_t star_count = 0;    // fields written as '*'
};

void note_stars(line_in_progress& line, int32_t starred, int32_t width) {
  line.star_count += starred;
  if (starred && line.first_star_width < 0) line.first_star_width = width;
}

void put_padded(line_in_progress& line, int32_t width, const char* text, int32_t length) {
  std::memset(line.text + line.position, ' ', width - length);
  std::memcpy(line.text + line.position + width - length, text, length);
  line.position += width;
}

void put_stars(line_in_progress& line, int32_t width) {
  std::memset(line.text + line.position, '*', width);
  line.position += width;
  note_stars(line, width > 0, width);
}

// The text of a field that lies after a zero-fill marker: it reads no data.
void put_zero_text(line_in_progress& line, const field_format& field, bool free_format) {
  if (field.type == field_type::string) {
    if (!free_format) put_padded(line, field.width, "", 0);
    return;
  }
  const bool is_real = field.type == field_type::float32 || field.type == field_type::float64;
  const char* zero = is_real ? "0.0" : "0";
  const int32_t length = is_real ? 3 : 1;
  if (free_format) {
    std::memcpy(line.text + line.position, zero, length);
    line.position += length;
  } else if (field.width >= length) {
    put_padded(line, field.width, zero, length);
  } else {
    put_stars(line, field.width);
  }
}

// An integer field: the quick path for fixed columns, else the field writer. Returns whether
// the field was written as '*'.
template <typename Integer>
[[gnu::always_inline]] inline int32_t put_integer(const line_settings& settings, char* text,
                                                  int32_t* position, int32_t width,
                                                  const uint8_t* bytes, bool is_marker,
                                                  bool free_format) {
  Integer value = 0;
  if (!is_marker) std::memcpy(&value, bytes, sizeof value);
  const Integer own = settings.swap_needed != 0 ? field_text::reversed(value) : value;
  if (!free_format && field_text::put_fixed_integer(own, width, text + *position)) {
    *position += width;
    return 0;
  }
  const int32_t flag = free_format ? 1 : 0;
  if constexpr (sizeof(Integer) == 4) {
    return format_int32_field(value, width, flag, text, position, settings.swap_needed);
  } else {
    return format_int64_field(value, width, flag, text, position, settings.swap_needed);
  }
}

// A real field: a non-zero value in fixed columns written in place, else the field writer.
template <typename Real>
[[gnu::always_inline]] inline int32_t put_real(const line_settings& settings, char* text,
                                               int32_t* position, int32_t width,
                                               const uint8_t* bytes, bool is_marker,
                                               bool free_format) {
  Real value = 0;
  if (!is_marker) std::memcpy(&value, bytes, sizeof value);
  if (!free_format && value != 0) {
    const Real own = settings.swap_needed != 0 ? field_text::reversed(value) : value;
    const bool fits = sizeof(Real) == 4
                          ? float_to_text(static_cast<float>(own), width, text + *position, 0, 8)
                          : double_to_text(own, width, text + *position, 0, 15);
    *position += width;
    return !fits && width > 0 ? 1 : 0;
  }
  const int32_t flag = free_format ? 1 : 0;
  if constexpr (sizeof(Real) == 4) {
    return format_float_field(value, width, flag, text, position, settings.swap_needed);
  } else {
    return format_double_field(value, width, flag, text, position, settings.swap_needed);
  }
}

// Renders a numeric value from its raw bytes; a zero-fill marker renders as zero. Fixed fields
// take the writers' quick paths directly: integers of up to 8 characters in 8 columns or more,
// and non-zero reals, whose text float_to_text and double_to_text write in place (the zero
// test is made on the value as stored, before the byte order is corrected, as the writers do).
[[gnu::always_inline]] inline void put_number(const line_settings& settings, line_in_progress& line,
                                              const field_format& field, const uint8_t* bytes,
                                              bool is_marker, bool free_format) {
  // The writers advance a copy of the position, so that the line itself never escapes and its
  // position can stay in a register.
  int32_t position = line.position;
  int32_t starred = 0;
  switch (field.type) {
    case field_type::int32:
      starred = put_integer<int32_t>(settings, line.text, &position, field.width, bytes, is_marker,
                                     free_format);
      break;
    case field_type::int64:
      starred = put_integer<int64_t>(settings, line.text, &position, field.width, bytes, is_marker,
                                     free_format);
      break;
    case field_type::float32:
      starred = put_real<float>(settings, line.text, &position, field.width, bytes, is_marker,
                                free_format);
      break;
    case field_type::float64:
      starred = put_real<double>(settings, line.text, &position, field.width, bytes, is_marker,
                                 free_format);
      break;
    case field_type::string:
      break;
  }
  line.position = position;
  note_stars(line, starred, field.width);
}

// Most characters a field can take in free format beyond its width: an integer's space, sign
// and 19 digits, or the " 0.0" of a real zero; and the comma before it.
constexpr int32_t kFreeFieldSlack = 22;

// Where the data of the next field start, and the offset that no field may read at or past.
struct field_data {
  const uint8_t* bytes;
  int32_t offset;
  int32_t limit;
  bool zero_filled = false;  // a zero-fill marker ended the data: every later field is a zero
};

// The lay_out_ functions below render a line (kRender: its text goes into line.text) or
// measure it (nothing is written, and line.position measures the text instead: exactly in
// fixed columns, as an upper bound in free format). Both make the same checks in the same
// order, so a line that measures complete also renders complete. Each field advances `in`
// past its data.

// A field after a zero-fill marker: a zero, which reads no data.
template <bool kRender>
void lay_out_zero_text(line_in_progress& line, const field_format& field, bool free_format) {
  if constexpr (kRender) {
    put_zero_text(line, field, free_format);
  } else {
    line.position += free_format ? field.width + kFreeFieldSlack : field.width;
  }
}

// A numeric field; the zero-fill marker is written as zero and starts the zero fill.
template <bool kRender>
layout_result lay_out_number(const line_settings& settings, line_in_progress& line,
                             const field_format& field, field_data& in, bool free_format) {
  const int32_t size = field.size;
  if (in.offset + size > in.limit) return layout_result::past_limit;
  const uint8_t* const bytes = in.bytes + in.offset;
  const bool is_marker = matches_zero_fill_marker(settings.zero_fill_marker_4,
                                                  settings.zero_fill_marker_8, bytes, size);
  if constexpr (kRender) {
    put_number(settings, line, field, bytes, is_marker, free_format);
  } else {
    line.position += free_format ? field.width + kFreeFieldSlack : field.width;
    line.only_numbers = line.only_numbers && !is_marker;
  }
  in.zero_filled = is_marker;
  in.offset += size;
  return layout_result::complete;
}

// A fixed-width string: up to `width` characters, ended early by a zero byte; in fixed
// columns padded with spaces to its width.
template <bool kRender>
layout_result lay_out_fixed_string(line_in_progress& line, const field_format& field,
                                   field_data& in, bool free_format) {
  int32_t length = 0;
  while (length < field.width) {
    if (in.offset + length >= in.limit) return layout_result::past_limit;
    if (in.bytes[in.offset + length] == 0) break;
    ++length;
  }
  if constexpr (kRender) {
    std::memcpy(line.text + line.position, in.bytes + in.offset, length);
    if (!free_format) std::memset(line.text + line.position + length, ' ', field.width - length);
  }
  line.position += free_format && kRender ? length : field.width;
  in.offset += length < field.width ? length + 1 : length;
  return layout_result::complete;
}

// An open-ended string: the characters up to its zero byte, if the line has room for them.
template <bool kRender>
layout_result lay_out_open_ended(line_in_progress& line, field_data& in, bool free_format) {
  const void* zero =
      in.offset < in.limit ? std::memchr(in.bytes + in.offset, 0, in.limit - in.offset) : nullptr;
  if (zero == nullptr) return layout_result::unterminated_open_ended;
  const int32_t length =
      static_cast<int32_t>(static_cast<const uint8_t*>(zero) - in.bytes) - in.offset;
  // The room test needs the exact position, which free format only knows once rendered.
  if (!kRender && free_format) return layout_result::needs_rendering;
  if (line.position + length + 1 >= kOpenEndedLineRoom) return layout_result::open_ended_too_long;
  if constexpr (kRender) std::memcpy(line.text + line.position, in.bytes + in.offset, length);
  line.position += length;
  in.offset += length + 1;
  return layout_result::complete;
}

// Lays out the first `count` fields of a line in one layout, fixed columns or free format,
// over its data `in`, and sets *end to the offset just past the data used.
template <bool kRender>
[[gnu::always_inline]] inline layout_result lay_out_fields(const line_settings& settings,
                                                           const uint8_t* format_bytes,
                                                           int32_t count, field_data in,
                                                           bool free_format, line_in_progress& line,
                                                           int32_t* end) {
  for (int32_t index = 0; index < count; ++index) {
    const field_format& field = decompose_field_format(format_bytes[index]);
    if constexpr (!kRender) {
      line.only_numbers =
          line.only_numbers && !free_format && !in.zero_filled && field.type != field_type::string;
    }
    if (free_format && index > 0) {
      if constexpr (kRender) line.text[line.position] = ',';
      ++line.position;
    }
    layout_result result = layout_result::complete;
    if (in.zero_filled) {
      lay_out_zero_text<kRender>(line, field, free_format);
    } else if (field.type != field_type::string) {
      result = lay_out_number<kRender>(settings, line, field, in, free_format);
    } else if (!field.open_ended) {
      result = lay_out_fixed_string<kRender>(line, field, in, free_format);
    } else {
      result = lay_out_open_ended<kRender>(line, in, free_format);
    }
    if (result != layout_result::complete) return result;
  }
  *end = in.offset;
  return layout_result::complete;
}

// The first field that carries the free-format mark, or the field count when none does. A
// format summarized as plain, numbers in fixed columns only, has none.
int32_t first_free_format_mark(const format_entry& format) {
  if (format.plain_size >= 0) return format.count;
  for (int32_t index = 0; index < format.count; ++index) {
    if (decompose_field_format(format.bytes[index]).free_format_mark) return index;
  }
  return format.count;
}

// Checks the first `count` fields in fixed columns without rendering them.
[[gnu::noinline]] layout_result check_in_columns(const line_settings& settings,
                                                 const uint8_t* format_bytes, int32_t count,
                                                 field_data in) {
  line_in_progress columns{nullptr, 0, -1};
  int32_t end = 0;
  return lay_out_fields<false>(settings, format_bytes, count, in, false, columns, &end);
}

// Lays out a line over its data `in` and sets *end to the offset just past the data used;
// line.position ends at the end of its text (kRender) or measures it (see lay_out_fields).
// Two passes: the first decides the layout, the second lays out every field in it. A
// free-format mark on any field puts the whole line in free format; the fields before a later
// mark are first checked in fixed columns, as they stand before the mark is seen, and a
// failure among them is the line's.
template <bool kRender>
layout_result lay_out_line(const line_settings& settings, const format_entry& format, field_data in,
                           line_in_progress& line, int32_t* end) {
  const int32_t mark = first_free_format_mark(format);
  if (mark > 0 && mark < format.count) {
    const layout_result checked = check_in_columns(settings, format.bytes, mark, in);
    if (checked != layout_result::complete) return checked;
  }
  return lay_out_fields<kRender>(settings, format.bytes, format.count, in, mark < format.count,
                                 line, end);
}

// Whether a field of a format of numbers holds the zero-fill marker.
bool holds_zero_fill_marker(const line_settings& settings, const format_entry& format,
                            const uint8_t* data) {
  for (int32_t index = 0; index < format.count; ++index) {
    const int32_t size = decompose_field_format(format.bytes[index]).size;
    if (matches_zero_fill_marker(settings.zero_fill_marker_4, settings.zero_fill_marker_8, data,
                                 size)) {
      return true;
    }
    data += size;
  }
  return false;
}

}  // namespace

layout_result measure_formatted_line(const line_settings& settings, const format_entry& format,
                                     const uint8_t* data, int32_t start, int32_t limit,
                                     line_measure* measure) {
  if (format.plain_size >= 0 && start + format.plain_size <= limit &&
      !holds_zero_fill_marker(settings, format, data + start)) {
    *measure = line_measure{format.plain_width + 1, start + format.plain_size, true, true};
    return layout_result::complete;
  }
  line_in_progress line{nullptr, 0, -1};
  const layout_result result =
      lay_out_line<false>(settings, format, field_data{data, start, limit}, line, &measure->end);
  measure->text_bound = line.position + 1;
  measure->only_numbers = line.only_numbers;
  measure->exact = first_free_format_mark(format) == format.count;
  return result;
}

bool measure_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                  const uint8_t* data, int32_t start, int32_t limit, line_measure* measure) {
  format_entry format{static_cast<uint8_t>(count), format_bytes};
  summarize_format(format);
  return measure_formatted_line(settings, format, data, start, limit, measure) ==
         layout_result::complete;
}

layout_result render_formatted_line(const line_settings& settings, const format_entry& format,
                                    const uint8_t* data, int32_t start, int32_t limit, char* text,
                                    rendered_text* rendered) {
  line_in_progress line{text, 0, -1};
  const layout_result result =
      lay_out_line<true>(settings, format, field_data{data, start, limit}, line, &rendered->end);
  if (result != layout_result::complete) return result;
  line.text[line.position++] = '\n';
  rendered->length = line.position;
  rendered->first_star_width = line.first_star_width;
  rendered->star_count = line.star_count;
  return result;
}

namespace {

// Puts the fields of a line of numbers in fixed columns, none of them the zero-fill marker:
// nothing to check or to skip.
[[gnu::always_inline]] inline void put_plain_fields(const line_settings& settings,
                                                    line_in_progress& line,
                                                    const uint8_t* format_bytes, int32_t count,
                                                    const uint8_t* data) {
  for (int32_t index = 0; index < count; ++index) {
    const field_format& field = decompose_field_format(format_bytes[index]);
    put_number(settings, line, field, data, false, false);
    data += field.size;
  }
}

}  // namespace

rendered_text render_plain_line(const line_settings& settings, const format_entry& format,
                                const uint8_t* data, char* text) {
  line_in_progress line{text, 0, -1};
  put_plain_fields(settings, line, format.bytes, format.count, data);
  line.text[line.position++] = '\n';
  return {line.position, line.first_star_width, line.star_count, format.plain_size};
}

int32_t render_line(const line_settings& settings, const uint8_t* format_bytes, int32_t count,
                    const uint8_t* data, int32_t length, bool only_numbers, char* text,
                    int32_t* first_star_width) {
  line_in_progress line{text, 0, -1};
  if (only_numbers) {
    put_plain_fields(settings, line, format_bytes, count, data);
  } else {
    const format_entry format{static_cast<uint8_t>(count), format_bytes};
    int32_t end = 0;
    lay_out_line<true>(settings, format, field_data{data, 0, length}, line, &end);
  }
  line.text[line.position++] = '\n';
  *first_star_width = line.first_star_width;
  return line.position;
}

}  // namespace asciify
