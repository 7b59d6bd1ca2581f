#include "convert/mode_marker.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "format/section_header.h"
#include "output/output.h"

namespace asciify {
namespace {

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

bool fail(conversion_state& state, output& out, input_fault fault, const char* message) {
  return fail_on_input(state, out, fault, "%s", message);
}

// The lines of a *START_BINARY: where the marker line ends, and where its header line begins
// and ends (-1 when no end-of-line byte is in the window).
struct header_lines {
  int32_t header_start = 0;
  int32_t header_end = -1;
};

// Finds the header line after the *START_BINARY at `p` and reads it. Returns false after a
// message.
bool read_header(conversion_state& state, output& out, const input_cursor& input, int32_t p,
                 section_header* header, header_lines* lines) {
  const uint8_t* window = input.window;
  const int32_t marker_end = find_end_of_line(window, p + kStartMarker.size() - 1, input.end);
  if (marker_end < 0) {
    return fail(state, out, input_fault::marker_line_unended,
                "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n");
  }
  lines->header_start = marker_end + 1;
  lines->header_end = find_end_of_line(window, lines->header_start, input.end);
  // A line ending in a carriage return shows an end-of-line conversion, which damages binary
  // data; a failure in the section says so.
  state.section = section_settings{};
  state.section.carriage_return =
      window[marker_end - 1] == '\r' ||
      (lines->header_end > lines->header_start && window[lines->header_end - 1] == '\r');
  if (parse_section_header(window + lines->header_start, input.end - lines->header_start, header) <
      kHeaderItems) {
    return fail(state, out, input_fault::header_unreadable,
                "Error parsing data line following *START_BINARY, cannot continue.\n");
  }
  state.section.major = header->major;
  state.section.minor = header->minor;
  if (!version_accepted(header->major, header->minor)) {
    return fail_on_input(state, out, input_fault::header_too_new,
                         "Version mismatch. This executable is %d.%d but file format is %d.%d\n",
                         kFormatMajor, kFormatMinor, header->major, header->minor);
  }
  return true;
}

// Takes the section's byte order from the probes of its header, with the zero-fill markers as
// they stand in the file. Returns false after a message.
bool take_byte_order(conversion_state& state, output& out, const section_header& header) {
  set_byte_order(state, false);
  switch (probe_order_of(header)) {
    case probe_order::native:
      return true;
    case probe_order::swapped:
      set_byte_order(state, true);
      state.section.swapped = true;
      // After the lines before it, which may still be queued.
      return report_info(
          out, "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n");
    case probe_order::unknown:
      break;
  }
  return fail(state, out, input_fault::header_byte_order_unknown,
              "Format mismatch. Binary format of file does not match that of this computer.\n");
}

// Reads the header line after *START_BINARY, decides the byte order and starts a new section.
// Returns the position after the header line, or nothing after a message.
std::optional<int32_t> start_binary_section(conversion_state& state, output& out,
                                            const input_cursor& input, int32_t p) {
  section_header header;
  header_lines lines;
  if (!read_header(state, out, input, p, &header, &lines) || !take_byte_order(state, out, header)) {
    return std::nullopt;
  }
  if (lines.header_end < 0) {
    fail(state, out, input_fault::marker_line_unended,
         "Failed to find <end_of_line> after data line following *START_BINARY when reading in "
         "ASCII mode.\n");
    return std::nullopt;
  }
  clear_format_table(state);
  return lines.header_end + 1;
}

// Position after a *SUSPEND_BINARY or *END_BINARY record: the marker text and its optional
// zero byte.
int32_t skip_closing_marker(const input_cursor& input, int32_t p, std::string_view marker) {
  p += static_cast<int32_t>(marker.size());
  if (p < input.end && input.window[p] == 0) ++p;
  return p;
}

// The marker whose text begins at `p`, if any.
std::optional<marker_kind> marker_kind_at(const input_cursor& input, int32_t p) {
  for (size_t i = 0; i < std::size(kMarkers); ++i) {
    if (marker_at(input.window, p, input.end, kMarkers[i])) return kMarkerKinds[i];
  }
  return std::nullopt;
}

// Reports a marker met in the mode it cannot stand in.
void fail_in_wrong_mode(conversion_state& state, output& out, marker_kind kind) {
  switch (kind) {
    case marker_kind::start:
      fail(state, out, input_fault::start_in_binary_mode,
           "Encountered *START_BINARY when already in binary mode.\n");
      break;
    case marker_kind::suspend:
      fail(state, out, input_fault::close_in_ascii_mode,
           "Encountered *SUSPEND_BINARY when already in ASCII mode.\n");
      break;
    case marker_kind::resume:
      fail(state, out, input_fault::resume_in_binary_mode,
           "Encountered *RESUME_BINARY when already in BINARY mode.\n");
      break;
    case marker_kind::end:
      fail(state, out, input_fault::close_in_ascii_mode,
           "Encountered *END_BINARY when already in ASCII mode.\n");
      break;
  }
}

// Consumes the marker of `kind` whose text begins at `p`. Returns the position after it, or
// nothing after a message.
std::optional<int32_t> consume_marker(conversion_state& state, output& out,
                                      const input_cursor& input, int32_t p, marker_kind kind) {
  switch (kind) {
    case marker_kind::start:
      return start_binary_section(state, out, input, p);
    case marker_kind::suspend:
      return skip_closing_marker(input, p, kSuspendMarker);
    case marker_kind::end:
      return skip_closing_marker(input, p, kEndMarker);
    case marker_kind::resume:
      break;
  }
  const int32_t end_of_line = find_end_of_line(input.window, p, input.end);
  if (end_of_line < 0) {
    fail(state, out, input_fault::marker_line_unended,
         "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII mode.\n");
    return std::nullopt;
  }
  return end_of_line + 1;
}

}  // namespace

marker_check check_mode_marker(conversion_state& state, output& out, input_cursor& input,
                               conversion_mode& mode, marker_kind* consumed) {
  const bool binary = mode == conversion_mode::binary;
  // In binary mode a marker is the text of a text-line record, after its format code.
  const int32_t p = input.position + (binary ? 1 : 0);
  const std::optional<marker_kind> kind = marker_kind_at(input, p);
  if (!kind) return marker_check::not_a_marker;
  if (opens_binary_mode(*kind) == binary) {
    fail_in_wrong_mode(state, out, *kind);
    return marker_check::failed;
  }
  const std::optional<int32_t> end = consume_marker(state, out, input, p, *kind);
  if (!end) return marker_check::failed;
  mode = binary ? conversion_mode::ascii : conversion_mode::binary;
  input.position = *end;
  if (consumed != nullptr) *consumed = *kind;
  return marker_check::consumed;
}

}  // namespace asciify
