#include "format/hardwired_layouts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {
namespace {

// Lines are made from the staging buffer or from the window.
static_assert(kStagingBufferSize <= kMaxLineData && kWindowSize <= kMaxLineData);

bool fail_long_format(conversion_state& state, output& out, const char* kind, input_fault fault) {
  return fail_on_input(state, out, fault,
                       "Error parsing 'long' %s format code in <process_hardwired_line> at line "
                       "%lld\n",
                       kind, next_line(out));
}

// Reads the 'long' format that `selector` chooses into hardwired_format's bytes, moving the
// record's position past it; *count receives its length. Returns false after a message.
bool read_long_format(conversion_state& state, output& out, input_cursor& record, uint8_t selector,
                      int32_t* count) {
  const uint8_t* window = record.window;
  const int32_t window_end = record.end;
  int32_t p = record.position;
  uint8_t* bytes = state.hardwired_storage;
  int32_t stored = 0;
  if (selector == FSF4) {
    // Packed codes, high nibble first, ended by a zero code; at most 19 codes fit.
    for (;;) {
      if (stored == kHardwiredFormatSize) {
        return fail_long_format(state, out, "FSF4", input_fault::too_many_fields);
      }
      if (p >= window_end) return fail_long_format(state, out, "FSF4", input_fault::record_unended);
      const uint8_t packed = window[p++];
      if ((packed >> 4) == 0) break;
      bytes[stored++] = translate_nibble(packed >> 4);
      if ((packed & 0x0F) == 0) break;
      bytes[stored++] = translate_nibble(packed & 0x0F);
    }
  } else if (selector == FSF8) {
    // Plain field format bytes ended by a zero byte; at most 19 fit.
    for (;;) {
      if (p >= window_end) return fail_long_format(state, out, "FSF8", input_fault::record_unended);
      const uint8_t byte = window[p++];
      if (byte == 0) break;
      bytes[stored++] = byte;
      if (stored == kHardwiredFormatSize) {
        return fail_long_format(state, out, "FSF8", input_fault::too_many_fields);
      }
    }
  } else if (selector >= FC_FIRST_CACHED && state.format_table[selector].count != 0) {
    // A cached format; only its first bytes fit the scratch format.
    const format_entry& slot = state.format_table[selector];
    stored = std::min<int32_t>(slot.count, kHardwiredFormatSize);
    std::memcpy(bytes, slot.bytes, stored);
  } else {
    return fail_on_input(
        state, out, input_fault::undefined_cached_format,
        "Error parsing 'long' cached format code %d in <process_hardwired_line> at line "
        "%lld\n",
        selector, next_line(out));
  }
  *count = stored;
  record.position = p;
  return true;
}

void set_default_formats(uint8_t* bytes, int32_t layout_index, int32_t source_fields) {
  for (int32_t k = 0; k < source_fields; ++k) bytes[k] = default_source_format(layout_index, k);
}

// A record of a default layout (every source field a 4-byte number), of layout kIndex: when
// none of its fields is the zero-fill marker, stages it as the field-by-field copy would, in
// one pass, and returns the position after it; returns -1, staging nothing, otherwise. The
// layout is known when compiled, so that its loops become fixed moves.
template <int32_t kIndex>
int32_t stage_default_record_of(conversion_state& state, const input_cursor& record) {
  constexpr hardwired_layout layout = kHardwiredLayouts[kIndex];
  const uint8_t* window = record.window;
  const int32_t p = record.position;
  if (p + 4 * layout.source_fields > record.end) return -1;
  // (A copy, so that the stores into the staging buffer do not make it be read again.)
  const uint32_t marker_4 = state.zero_fill_marker_4;
  uint32_t words[layout.source_fields];
  bool marked = false;
  for (int32_t k = 0; k < layout.source_fields; ++k) {
    std::memcpy(&words[k], window + p + 4 * k, 4);
    marked |= words[k] == marker_4;
  }
  if (marked) return -1;
  for (int32_t position = 0; position < layout.output_fields; ++position) {
    const int32_t source = layout.sources[position];
    const uint32_t word = source == kZeroField ? 0 : words[source];
    std::memcpy(state.staging_buffer + 4 * position, &word, 4);
  }
  state.zero_fill_state = 0;
  return p + 4 * layout.source_fields;
}

// Stages a record of the default layout `layout_index` (see stage_default_record_of).
int32_t stage_default_record(conversion_state& state, int32_t layout_index,
                             const input_cursor& record) {
  static_assert(kHardwiredLayoutCount == 8);
  switch (layout_index) {
    case 0:
      return stage_default_record_of<0>(state, record);
    case 1:
      return stage_default_record_of<1>(state, record);
    case 2:
      return stage_default_record_of<2>(state, record);
    case 3:
      return stage_default_record_of<3>(state, record);
    case 4:
      return stage_default_record_of<4>(state, record);
    case 5:
      return stage_default_record_of<5>(state, record);
    case 6:
      return stage_default_record_of<6>(state, record);
    default:
      return stage_default_record_of<7>(state, record);
  }
}

// The common record of a 'long' layout, whose source fields (formats `source_formats`) are all
// numbers, all of them in the window and none the zero-fill marker. Stages it as the
// field-by-field copy would, in one pass, and returns the position after it; returns -1,
// staging nothing, for any other record.
int32_t stage_plain_record(conversion_state& state, const hardwired_layout& layout,
                           const uint8_t* source_formats, const input_cursor& record) {
  const uint8_t* window = record.window;
  const int32_t window_end = record.end;
  int32_t p = record.position;
  // (Copies, so that the stores into the staging buffer do not make them be read again.)
  const uint32_t marker_4 = state.zero_fill_marker_4;
  const uint64_t marker_8 = state.zero_fill_marker_8;
  int32_t offsets[8];
  int32_t sizes[8];
  for (int32_t k = 0; k < layout.source_fields; ++k) {
    const int32_t size = decompose_field_format(source_formats[k]).size;
    if (size == 0 || p + size > window_end ||
        matches_zero_fill_marker(marker_4, marker_8, window + p, size)) {
      return -1;
    }
    offsets[k] = p;
    sizes[k] = size;
    p += size;
  }
  uint8_t* staging = state.staging_buffer;
  for (int32_t position = 0; position < layout.output_fields; ++position) {
    const int32_t source = layout.sources[position];
    if (source == kZeroField) {
      std::memset(staging, 0, 4);
      staging += 4;
    } else if (sizes[source] == 4) {  // fixed sizes: moves, not library calls
      std::memcpy(staging, window + offsets[source], 4);
      staging += 4;
    } else {
      std::memcpy(staging, window + offsets[source], 8);
      staging += 8;
    }
  }
  state.zero_fill_state = 0;
  return p;
}

// Copies the source fields into the staging buffer in output order, a repeated field once per
// output position, then the zero fields, moving the record's position past its last source
// field. Returns false after a message.
bool stage_fields(conversion_state& state, output& out, const hardwired_layout& layout,
                  input_cursor& record) {
  staging_area staging{state.staging_buffer, 0};
  int32_t p = record.position;
  int32_t source_start = p;
  for (int32_t position = 0; position < layout.output_fields; ++position) {
    const int32_t source = layout.sources[position];
    if (source == kZeroField) {
      std::memset(staging.bytes + staging.offset, 0, 4);
      staging.offset += 4;
      continue;
    }
    const bool repeated = position > 0 && layout.sources[position - 1] == source;
    if (!repeated) source_start = p;
    const std::optional<int32_t> next =
        copy_field(state, out, state.hardwired_format, source, staging, record, source_start);
    if (!next) return false;
    if (!repeated) p = *next;
    const bool number = decompose_field_format(state.hardwired_storage[source]).size != 0;
    if (number && state.zero_fill_state != 0) out.item.staged_zero_fill |= 1u << position;
  }
  record.position = p;
  return true;
}

// Rewrites the scratch format as the line's own field format bytes.
void apply_layout(format_entry& format, uint8_t* bytes, const hardwired_layout& layout) {
  uint8_t source_bytes[kHardwiredFormatSize];
  std::memcpy(source_bytes, bytes, kHardwiredFormatSize);
  const uint8_t zero_byte =
      layout.zero_reference >= 0 ? zero_field_format(source_bytes[layout.zero_reference]) : 0;
  for (int32_t position = 0; position < layout.output_fields; ++position) {
    const int32_t source = layout.sources[position];
    bytes[position] = source == kZeroField ? zero_byte : source_bytes[source];
  }
  format.count = static_cast<uint8_t>(layout.output_fields);
  summarize_format(format);
}

// Whether the line format of a 'long' record of this code with this cached selector is kept.
bool kept_long_line(const conversion_state& state, uint8_t code, uint8_t selector) {
  return selector >= FC_FIRST_CACHED && state.long_line.code == code &&
         state.long_line.selector == selector &&
         state.long_line.generation == state.format_generation;
}

// Keeps the line format just built in the scratch format, from `source_bytes`, the format of
// a cached selector.
void keep_long_line(conversion_state& state, uint8_t code, uint8_t selector,
                    const uint8_t* source_bytes) {
  auto& kept = state.long_line;
  kept.code = code;
  kept.selector = selector;
  kept.generation = state.format_generation;
  std::memcpy(kept.source_bytes, source_bytes, kHardwiredFormatSize);
  std::memcpy(kept.line_bytes, state.hardwired_storage, kHardwiredFormatSize);
  kept.line_format = state.hardwired_format;
  kept.line_format.bytes = kept.line_bytes;
}

// The line format of each default layout (codes 10-17): the default field formats in output
// order, the same for every record of the code.
struct default_line_format {
  uint8_t bytes[kHardwiredFormatSize];
  format_entry format;
};

const default_line_format& default_line_format_of(int32_t layout_index) {
  static const std::array<default_line_format, kHardwiredLayoutCount> formats = [] {
    std::array<default_line_format, kHardwiredLayoutCount> table{};
    for (int32_t index = 0; index < kHardwiredLayoutCount; ++index) {
      default_line_format& entry = table[index];
      set_default_formats(entry.bytes, index, kHardwiredLayouts[index].source_fields);
      entry.format.bytes = entry.bytes;
      apply_layout(entry.format, entry.bytes, kHardwiredLayouts[index]);
    }
    return table;
  }();
  return formats[layout_index];
}

}  // namespace

std::optional<int32_t> copy_field(conversion_state& state, output& out, const format_entry& format,
                                  int32_t field_index, staging_area& staging,
                                  const input_cursor& record, int32_t source) {
  const uint8_t* window = record.window;
  const int32_t window_end = record.end;
  int32_t* staging_offset = &staging.offset;
  if (field_index == 0) state.zero_fill_state = 0;
  const field_format& field = decompose_field_format(format.bytes[field_index]);
  uint8_t* destination = staging.bytes + staging.offset;

  if (field.type != field_type::string) {
    const int32_t size = field.size;
    if (state.zero_fill_state != 0) {
      // After a zero-fill marker a numeric field has no bytes in the record.
      std::memset(destination, 0, size);
      *staging_offset += size;
      return source;
    }
    if (source + size > window_end) {
      fail_on_input(state, out, input_fault::record_unended,
                    "Buffer overrun in <copy_buffer> on line %lld\n", next_line(out));
      return std::nullopt;
    }
    if (is_zero_fill_marker(state, window + source, size)) {
      state.zero_fill_state = 2;
      std::memset(destination, 0, size);
    } else {
      std::memcpy(destination, window + source, size);
    }
    *staging_offset += size;
    return source + size;
  }

  // Strings are read from the record also after a zero-fill marker.
  int32_t length = 0;
  for (;; ++length) {
    if (!field.open_ended && length == field.width) break;
    if (source + length >= window_end) {
      fail_on_input(state, out, input_fault::record_unended,
                    "Buffer overrun in <copy_buffer> on line %lld\n", next_line(out));
      return std::nullopt;
    }
    if (window[source + length] == 0) break;
  }
  std::memcpy(destination, window + source, length);
  if (field.open_ended) {
    destination[length] = 0;
    *staging_offset += length + 1;
    return source + length + 1;
  }
  std::memset(destination + length, ' ', field.width - length);
  *staging_offset += field.width;
  return source + length + (length < field.width ? 1 : 0);
}

namespace {

// The head of a hard-wired record: its code and, for a 'long' code, the selector and the
// number of field format bytes of its format.
struct record_head {
  uint8_t code = 0;
  uint8_t selector = 0;
  int32_t long_count = 0;
  bool is_default = false;  // codes 10-17
  bool is_long = false;     // codes 30-37
};

// Writes a 'long' record of the same code and cached format as the last one with the line
// format kept from it, when its fields are plain numbers. Returns false, doing nothing, when
// the record has to go the ordinary way.
bool write_with_kept_format(conversion_state& state, output& out, input_cursor& input,
                            const input_cursor& record, const record_head& head, bool* written) {
  if (!kept_long_line(state, head.code, head.selector)) return false;
  const int32_t plain_end =
      stage_plain_record(state, kHardwiredLayouts[hardwired_layout_index(head.code)],
                         state.long_line.source_bytes, record);
  if (plain_end < 0 || state.long_line.line_format.plain_size < 0) return false;
  input.position = plain_end;
  *written =
      write_plain_line(out, settings_of(state), state.long_line.line_format, state.staging_buffer);
  return true;
}

// Checks that the code has a layout and a 'long' format covers it. Returns false after a
// message.
bool check_layout(conversion_state& state, output& out, record_head& head) {
  head.is_long = head.code >= FC_FIRST_LONG_LAYOUT;
  head.is_default = !head.is_long;
  if (!is_hardwired_code(head.code)) {
    return fail_on_input(
        state, out, input_fault::unknown_code,
        "Found unknown reserved format code %d in <process_hardwired_line> at line %lld\n",
        head.code, next_line(out));
  }
  if (head.is_long &&
      head.long_count < kHardwiredLayouts[hardwired_layout_index(head.code)].source_fields) {
    return fail_on_input(
        state, out, input_fault::long_format_too_short,
        "'long' format too short for format code %d in <process_hardwired_line> at line "
        "%lld\n",
        head.code, next_line(out));
  }
  return true;
}

// Stages the record's fields from the record's position on and writes its line. A record of
// numbers is staged in one pass; a default one gives a line of numbers.
bool stage_and_write(conversion_state& state, output& out, const record_head& head,
                     input_cursor& record, input_cursor& input) {
  const int32_t layout_index = hardwired_layout_index(head.code);
  const hardwired_layout& layout = kHardwiredLayouts[layout_index];
  const int32_t plain_end =
      head.is_default ? stage_default_record(state, layout_index, record)
                      : stage_plain_record(state, layout, state.hardwired_storage, record);
  if (plain_end >= 0) {
    input.position = plain_end;
    if (head.is_default) {
      return write_plain_line(out, settings_of(state), default_line_format_of(layout_index).format,
                              state.staging_buffer);
    }
  } else {
    if (head.is_default) {
      set_default_formats(state.hardwired_storage, layout_index, layout.source_fields);
    }
    if (!stage_fields(state, out, layout, record)) return false;
    input.position = record.position;
  }
  const format_entry* line_format = &state.hardwired_format;
  if (head.is_default) {
    line_format = &default_line_format_of(layout_index).format;
  } else {
    uint8_t source_bytes[kHardwiredFormatSize];
    std::memcpy(source_bytes, state.hardwired_storage, kHardwiredFormatSize);
    apply_layout(state.hardwired_format, state.hardwired_storage, layout);
    if (head.selector >= FC_FIRST_CACHED) {
      keep_long_line(state, head.code, head.selector, source_bytes);
    }
    if (plain_end >= 0 && state.hardwired_format.plain_size >= 0) {
      // The staged fields hold no zero-fill marker, and the appended zeros are none either.
      return write_plain_line(out, settings_of(state), state.hardwired_format,
                              state.staging_buffer);
    }
  }
  return write_formatted_line(out, settings_of(state), *line_format, state.staging_buffer, 0,
                              kStagingBufferSize)
      .has_value();
}

}  // namespace

bool process_hardwired_line(conversion_state& state, output& out, input_cursor& input) {
  // The record's cursor is set member by member: a copy made whole is stored as one wide
  // value, and reading its position back at once stalls on that store.
  record_head head;
  input_cursor record;
  record.window = input.window;
  record.end = input.end;
  record.position = input.position + 1;
  head.code = input.window[input.position];
  if (head.code >= FC_FIRST_LONG_LAYOUT) {
    if (record.position >= record.end) {
      return fail_on_input(
          state, out, input_fault::record_unended,
          "Record data runs past the end of the input in <process_hardwired_line> at line "
          "%lld\n",
          next_line(out));
    }
    head.selector = record.window[record.position++];
    // The same code and cached format as the last record: its line format is kept.
    bool written = false;
    if (write_with_kept_format(state, out, input, record, head, &written)) return written;
    if (!read_long_format(state, out, record, head.selector, &head.long_count)) return false;
  }
  return check_layout(state, out, head) && stage_and_write(state, out, head, record, input);
}

}  // namespace asciify
