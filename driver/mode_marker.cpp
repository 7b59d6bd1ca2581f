#include "driver/mode_marker.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "output/output.h"
#include "text/byte_order.h"

namespace asciify {
namespace {

constexpr std::string_view kStart = "*START_BINARY";
constexpr std::string_view kSuspend = "*SUSPEND_BINARY";
constexpr std::string_view kResume = "*RESUME_BINARY";
constexpr std::string_view kEnd = "*END_BINARY";

bool marker_at(const uint8_t* window, int32_t p, int32_t window_end, std::string_view marker) {
  return window_end - p >= static_cast<int32_t>(marker.size()) &&
         std::memcmp(window + p, marker.data(), marker.size()) == 0;
}

// Index of the first end-of-line byte in [from, window_end), or -1.
int32_t find_end_of_line(const uint8_t* window, int32_t from, int32_t window_end) {
  if (from >= window_end) return -1;
  const void* found = std::memchr(window + from, '\n', window_end - from);
  return found ? static_cast<int32_t>(static_cast<const uint8_t*>(found) - window) : -1;
}

int32_t fail(conversion_state& state, output& out, input_fault fault, const char* message) {
  return fail_on_input(state, out, fault, "%s", message);
}

// Reads the header line after *START_BINARY, decides the byte order and starts a new section.
// Returns the position after the header line, or -1 after a message.
int32_t start_binary_section(conversion_state& state, output& out, const uint8_t* window, int32_t p,
                             int32_t window_end) {
  const int32_t marker_end = find_end_of_line(window, p + kStart.size() - 1, window_end);
  if (marker_end < 0) {
    return fail(state, out, input_fault::marker_line_unended,
                "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n");
  }
  const int32_t header_start = marker_end + 1;
  const int32_t header_end = find_end_of_line(window, header_start, window_end);
  // A line ending in a carriage return shows an end-of-line conversion, which damages binary
  // data; a failure in the section says so.
  state.section = section_settings{};
  state.section.carriage_return = window[marker_end - 1] == '\r' ||
                                  (header_end > header_start && window[header_end - 1] == '\r');
  section_header header;
  if (parse_section_header(window + header_start, window_end - header_start, &header) < 10) {
    return fail(state, out, input_fault::header_unreadable,
                "Error parsing data line following *START_BINARY, cannot continue.\n");
  }
  state.section.major = header.major;
  state.section.minor = header.minor;
  if (header.major > 1 || header.minor > 0) {
    return fail_on_input(state, out, input_fault::header_too_new,
                         "Version mismatch. This executable is %d.%d but file format is %d.%d\n", 1,
                         0, header.major, header.minor);
  }

  state.zero_fill_marker_4 = 0x80000000u;
  state.zero_fill_marker_8 = 0x8000000000000000u;
  switch (byte_order_of_probes(header)) {
    case byte_order::native:
      state.swap_needed = 0;
      break;
    case byte_order::swapped:
      state.swap_needed = 1;
      state.section.swapped = true;
      endian_swap(&state.zero_fill_marker_4, 4);
      endian_swap(&state.zero_fill_marker_8, 8);
      // After the lines before it, which may still be queued.
      if (!report_info(
              out, "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n")) {
        return -1;
      }
      break;
    case byte_order::unknown:
      return fail(state, out, input_fault::header_byte_order_unknown,
                  "Format mismatch. Binary format of file does not match that of this "
                  "computer.\n");
  }

  if (header_end < 0) {
    return fail(state, out, input_fault::marker_line_unended,
                "Failed to find <end_of_line> after data line following *START_BINARY when "
                "reading in ASCII mode.\n");
  }
  clear_format_table(state);
  return header_end + 1;
}

// Position after a *SUSPEND_BINARY or *END_BINARY record: the marker text and its optional
// zero byte.
int32_t skip_closing_marker(const uint8_t* window, int32_t p, int32_t window_end,
                            std::string_view marker) {
  p += static_cast<int32_t>(marker.size());
  if (p < window_end && window[p] == 0) ++p;
  return p;
}

}  // namespace

int32_t parse_section_header(const uint8_t* text, int32_t length, section_header* header) {
  // The scan may not run past the window, so it works on a terminated copy.
  char copy[kWindowSize + 1];
  const int32_t kept = length < 0 ? 0 : (length > kWindowSize ? kWindowSize : length);
  std::memcpy(copy, text, kept);
  copy[kept] = '\0';
  unsigned int hex[8] = {};
  const int converted =
      std::sscanf(copy, "%10d%10d  %2x%2x%2x%2x  %2x%2x%2x%2x", &header->major, &header->minor,
                  &hex[0], &hex[1], &hex[2], &hex[3], &hex[4], &hex[5], &hex[6], &hex[7]);
  for (int i = 0; i < 4; ++i) {
    header->integer_probe[i] = static_cast<uint8_t>(hex[i] & 0xFF);
    header->real_probe[i] = static_cast<uint8_t>(hex[i + 4] & 0xFF);
  }
  return converted < 0 ? 0 : converted;
}

byte_order byte_order_of_probes(const section_header& header) {
  int32_t integer_probe;
  float real_probe;
  std::memcpy(&integer_probe, header.integer_probe, 4);
  std::memcpy(&real_probe, header.real_probe, 4);
  if (integer_probe == 1 && real_probe == 1.0f) return byte_order::native;
  endian_swap(&integer_probe, 4);
  endian_swap(&real_probe, 4);
  if (integer_probe == 1 && real_probe == 1.0f) return byte_order::swapped;
  return byte_order::unknown;
}

int32_t check_mode_marker(conversion_state& state, output& out, const uint8_t* window,
                          int32_t* read_pos, int32_t window_end, int32_t* binary_mode,
                          marker_kind* consumed) {
  int32_t p = *read_pos + (*binary_mode ? 1 : 0);
  marker_kind kind;
  if (marker_at(window, p, window_end, kStart)) {
    kind = marker_kind::start;
    if (*binary_mode) {
      return fail(state, out, input_fault::start_in_binary_mode,
                  "Encountered *START_BINARY when already in binary mode.\n");
    }
    p = start_binary_section(state, out, window, p, window_end);
    if (p < 0) return -1;
  } else if (marker_at(window, p, window_end, kSuspend)) {
    kind = marker_kind::suspend;
    if (!*binary_mode) {
      return fail(state, out, input_fault::close_in_ascii_mode,
                  "Encountered *SUSPEND_BINARY when already in ASCII mode.\n");
    }
    p = skip_closing_marker(window, p, window_end, kSuspend);
  } else if (marker_at(window, p, window_end, kResume)) {
    kind = marker_kind::resume;
    if (*binary_mode) {
      return fail(state, out, input_fault::resume_in_binary_mode,
                  "Encountered *RESUME_BINARY when already in BINARY mode.\n");
    }
    const int32_t end_of_line = find_end_of_line(window, p, window_end);
    if (end_of_line < 0) {
      return fail(state, out, input_fault::marker_line_unended,
                  "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII "
                  "mode.\n");
    }
    p = end_of_line + 1;
  } else if (marker_at(window, p, window_end, kEnd)) {
    kind = marker_kind::end;
    if (!*binary_mode) {
      return fail(state, out, input_fault::close_in_ascii_mode,
                  "Encountered *END_BINARY when already in ASCII mode.\n");
    }
    p = skip_closing_marker(window, p, window_end, kEnd);
  } else {
    return 0;
  }
  *binary_mode = *binary_mode ? 0 : 1;
  *read_pos = p;
  if (consumed != nullptr) *consumed = kind;
  return 1;
}

}  // namespace asciify
