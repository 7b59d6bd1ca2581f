#include "tests/support/input_sources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace asciify::test_support {

raw_read failing_source::read(void* context, uint8_t* buffer, size_t capacity) {
  auto& self = *static_cast<failing_source*>(context);
  pause_for(self.pause_us);
  if (self.served >= self.fail_at) return {0, EIO};
  const size_t count =
      std::min({capacity, self.piece, self.fail_at - self.served, self.bytes.size() - self.served});
  std::memcpy(buffer, self.bytes.data() + self.served, count);
  self.served += count;
  return {count, 0};
}

input_handle memory_input(std::string_view input) {
  return std::move(open_input_memory(reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                                     {.decode_in_thread = false})
                       .stream);
}

conversion_capture convert_into_sink(input_stream& in, memory_sink& sink, run_options options) {
  message_capture messages;
  convert_options settings = converter_options(options);
  settings.decompress = false;  // the input layer decompresses
  const converter_ptr c = make_converter(settings, sink_into(sink), messages.sink());
  uint8_t piece[4096];
  size_t got = 0;
  do {
    pause_for(options.pause_us);
    got = read_input(in, piece, sizeof piece);
  } while (convert_bytes(*c, piece, got) && got == sizeof piece);
  const int status =
      finish_converting(*c, input_failed(in) ? input_failure_reason(in).c_str() : nullptr);
  return capture_of(*c, status, messages, sink);
}

}  // namespace asciify::test_support
