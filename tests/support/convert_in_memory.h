// Runs a whole conversion inside this process on an input held in memory, capturing the
// output and both message streams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace asciify::testing {

struct conversion_capture {
  int status = 0;        // 0 finished, 2 failed
  std::string output;    // the converted text
  std::string messages;  // errors and warnings
  std::string info;      // informational lines and the finished summary
  int64_t lines_written = 0;
};

conversion_capture convert_in_memory(std::string_view input);

}  // namespace asciify::testing
