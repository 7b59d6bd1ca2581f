#include "tests/support/library_run.h"

#include <algorithm>

namespace asciify::test_support {

library_run convert_with_library(std::string_view input, size_t piece_size, bool second_thread) {
  library_run run;
  const byte_sink text{[](void* context, const char* data, size_t size, int*) {
                         static_cast<library_run*>(context)->text.append(data, size);
                         return size;
                       },
                       nullptr, nullptr, &run};
  const message_sink messages{
      [](void* context, message_kind kind, const char* data, size_t size) {
        auto& self = *static_cast<library_run*>(context);
        (kind == message_kind::error ? self.errors : self.notes).append(data, size);
      },
      &run};
  convert_options options;
  options.second_thread = second_thread;
  const converter_ptr c = make_converter(options, text, messages);
  for (size_t at = 0; at < input.size(); at += piece_size) {
    convert_bytes(*c, input.data() + at, std::min(piece_size, input.size() - at));
  }
  run.status = finish_converting(*c);
  run.report = converting_report(*c);
  return run;
}

}  // namespace asciify::test_support
