#include <cstring>

#include "output/output.h"
#include "records/record_handlers.h"

namespace asciify {
namespace {

// Unpacks the nibble-coded format that starts at `first` into lsf_buffer. Returns the index of
// the first data byte (just past the byte holding the zero code), or -1 when no zero code
// lies before window_end. *count receives the number of field format bytes.
int32_t unpack_packed_format(conversion_state& state, const uint8_t* window, int32_t first,
                             int32_t window_end, int32_t* count) {
  int32_t stored = 0;
  for (int32_t p = first; p < window_end; ++p) {
    const uint8_t high = window[p] >> 4;
    const uint8_t low = window[p] & 0x0F;
    if (high == 0) {
      *count = stored;
      return p + 1;
    }
    state.lsf_buffer[stored++] = translate_nibble(high);
    if (low == 0) {
      *count = stored;
      return p + 1;
    }
    state.lsf_buffer[stored++] = translate_nibble(low);
  }
  return -1;
}

}  // namespace

bool process_lsf_line(conversion_state& state, output& out, input_cursor& input) {
  const uint8_t* window = input.window;
  const int32_t first = input.position + 1;
  int32_t count = 0;
  int32_t data_start = -1;
  const uint8_t* bytes = nullptr;

  if (window[input.position] == FC_LSF4) {
    data_start = unpack_packed_format(state, window, first, input.end, &count);
    if (data_start < 0) {
      return fail_on_input(state, out, input_fault::record_unended,
                           "FC_LSF4 formatting error at line %lld\n", next_line(out));
    }
    bytes = state.lsf_buffer;
  } else {
    // The plain format is used where it lies in the window.
    const void* zero =
        first < input.end ? std::memchr(window + first, 0, bytes_from(input, first)) : nullptr;
    if (zero == nullptr) {
      return fail_on_input(state, out, input_fault::record_unended,
                           "FC_LSF8 formatting error at line %lld\n", next_line(out));
    }
    count = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - window) - first;
    data_start = first + count + 1;
    bytes = window + first;
  }

  if (count > kMaxFormatFields) {
    return fail_on_input(state, out, input_fault::too_many_fields,
                         "Format has more than 255 fields in <process_lsf_line> at line %lld\n",
                         next_line(out));
  }
  const format_entry format{static_cast<uint8_t>(count), bytes};
  return write_record_line(state, out, format, input, data_start);
}

}  // namespace asciify
