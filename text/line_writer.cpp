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
};

void note_stars(line_in_progress& line, int32_t starred, int32_t width) {
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

// Renders a numeric value from its raw bytes; a zero-fill marker renders as zero. Fixed fields
// take the writers' quick paths directly: integers of up to 8 characters in 8 columns or more,
// and non-zero reals, whose text float_to_text and double_to_text write in place (the zero
// test is made on the value as stored, before the byte order is corrected, as the writers do).
void put_number(const conversion_state& state, line_in_progress& line, const field_format& field,
                const uint8_t* bytes, bool is_marker, bool free_format) {
  const int32_t flag = free_format ? 1 : 0;
  const bool swap = state.swap_needed != 0;
  char* const at = line.text + line.position;
  // The writers advance a copy of the position, so that the line itself never escapes and its
  // position can stay in a register.
  int32_t position = line.position;
  int32_t starred = 0;
  switch (field.type) {
    case field_type::int32: {
      int32_t value = 0;
      if (!is_marker) std::memcpy(&value, bytes, 4);
      if (!free_format && field_text::put_fixed_integer(swap ? field_text::reversed(value) : value,
                                                        field.width, at)) {
        position += field.width;
        break;
      }
      starred =
          format_int32_field(value, field.width, flag, line.text, &position, state.swap_needed);
      break;
    }
    case field_type::int64: {
      int64_t value = 0;
      if (!is_marker) std::memcpy(&value, bytes, 8);
      if (!free_format && field_text::put_fixed_integer(swap ? field_text::reversed(value) : value,
                                                        field.width, at)) {
        position += field.width;
        break;
      }
      starred =
          format_int64_field(value, field.width, flag, line.text, &position, state.swap_needed);
      break;
    }
    case field_type::float32: {
      float value = 0.0f;
      if (!is_marker) std::memcpy(&value, bytes, 4);
      if (!free_format && value != 0.0f) {
        const bool fits =
            float_to_text(swap ? field_text::reversed(value) : value, field.width, at, 0, 8);
        position += field.width;
        starred = !fits && field.width > 0 ? 1 : 0;
        break;
      }
      starred =
          format_float_field(value, field.width, flag, line.text, &position, state.swap_needed);
      break;
    }
    case field_type::float64: {
      double value = 0.0;
      if (!is_marker) std::memcpy(&value, bytes, 8);
      if (!free_format && value != 0.0) {
        const bool fits =
            double_to_text(swap ? field_text::reversed(value) : value, field.width, at, 0, 15);
        position += field.width;
        starred = !fits && field.width > 0 ? 1 : 0;
        break;
      }
      starred =
          format_double_field(value, field.width, flag, line.text, &position, state.swap_needed);
      break;
    }
    case field_type::string:
      break;
  }
  line.position = position;
  note_stars(line, starred, field.width);
}

int32_t fail_past_limit(const conversion_state& state, int64_t lines_written) {
  report(state,
         "Record data runs past the end of the input in <write_formatted_line> at line %lld\n",
         static_cast<long long>(lines_written + 1));
  return -1;
}

}  // namespace

int32_t write_formatted_line(conversion_state& state, FILE* out, const format_entry& format,
                             const uint8_t* data, int32_t start, int32_t limit, int32_t* read_pos,
                             int64_t* lines_written) {
  // Copies of what the loop reads, which no store into the line can change.
  const int32_t count = format.count;
  const uint8_t* const format_bytes = format.bytes;
  bool free_format = false;
  line_in_progress line{};
  int32_t offset = 0;

restart:
  // A free-format mark after the first field starts the line again from its first field.
  line = line_in_progress{state.line_buffer, 0, -1};
  offset = start;
  bool zero_fill = false;
  for (int32_t index = 0; index < count; ++index) {
    const field_format& field = decompose_field_format(format_bytes[index]);
    if (!free_format && field.free_format_mark) {
      free_format = true;
      if (index > 0) goto restart;
    }
    if (free_format && index > 0) line.text[line.position++] = ',';

    if (zero_fill) {
      put_zero_text(line, field, free_format);
      continue;
    }

    if (field.type != field_type::string) {
      const int32_t size = field.size;
      if (offset + size > limit) return fail_past_limit(state, *lines_written);
      const bool is_marker = is_zero_fill_marker(state, data + offset, size);
      put_number(state, line, field, data + offset, is_marker, free_format);
      zero_fill = is_marker;
      offset += size;
    } else if (!field.open_ended) {
      // Fixed-width string: up to `width` characters, ended early by a zero byte.
      int32_t length = 0;
      while (length < field.width) {
        if (offset + length >= limit) return fail_past_limit(state, *lines_written);
        if (data[offset + length] == 0) break;
        ++length;
      }
      std::memcpy(line.text + line.position, data + offset, length);
      if (free_format) {
        line.position += length;
      } else {
        std::memset(line.text + line.position + length, ' ', field.width - length);
        line.position += field.width;
      }
      offset += length < field.width ? length + 1 : length;
    } else {
      // Open-ended string: the characters up to its zero byte.
      const void* zero = offset < limit ? std::memchr(data + offset, 0, limit - offset) : nullptr;
      if (zero == nullptr) {
        report(state, "Error reading open-ended C format in <write_formatted_line> at line %lld\n",
               static_cast<long long>(*lines_written + 1));
        return -1;
      }
      const int32_t length =
          static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data) - offset;
      if (line.position + length + 1 >= kOpenEndedLineRoom) {
        report(state,
               "Attempted buffer overrun copying open-ended C format in <write_formatted_line> at "
               "line %lld\n",
               static_cast<long long>(*lines_written + 1));
        return -1;
      }
      std::memcpy(line.text + line.position, data + offset, length);
      line.position += length;
      offset += length + 1;
    }
  }

  line.text[line.position++] = '\n';
  const size_t written = fwrite_unlocked(line.text, 1, line.position, out);
  if (written < static_cast<size_t>(line.position)) {
    report(state,
           "Failed to write output buffer to file (only %d of %d characters output) at line %lld\n",
           static_cast<int>(written), line.position, static_cast<long long>(*lines_written + 1));
    return -1;
  }
  if (ferror_unlocked(out) != 0) {
    // Every byte was taken, yet the stream failed to pass them on.
    report(state, "Failed to write %d bytes to output file at line %lld\n", line.position,
           static_cast<long long>(*lines_written + 1));
    return -1;
  }
  ++*lines_written;
  *read_pos = offset;
  if (line.first_star_width >= 0 && !state.wide_value_warning_given) {
    state.wide_value_warning_given = true;
    report(state, "Warning: value too wide for its %d-column field at line %lld, written as '*'\n",
           line.first_star_width, static_cast<long long>(*lines_written));
  }
  return 0;
}

}  // namespace asciify
