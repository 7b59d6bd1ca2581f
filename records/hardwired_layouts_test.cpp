// copy_buffer at the end of the window: bytes past the window end exist and would complete the
// field; they must not be read. Whole hard-wired records are checked end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "records/record_handlers.h"

namespace asciify {
namespace {

TEST(CopyBuffer, NeverReadsPastTheWindowEnd) {
  const struct {
    const char* name;
    std::string format, window;
    int32_t window_end, next_source;  // -1: overrun
  } rows[] = {
      {"string of its full width at the window end", "\x88", "12345678", 8, 8},
      {"string reaching the window end", "\x88", std::string("1234567\0", 8), 7, -1},
      {"nothing left in the window", "\x88", std::string("\0", 1), 0, -1},
      {"open-ended string without its zero", "\x80", std::string("name\0", 5), 4, -1},
      {"number cut by the window end", "\x08", "abcd", 3, -1},
  };
  for (const auto& r : rows) {
    auto state = std::make_unique<conversion_state>();
    state->messages = std::fopen("/dev/null", "w");
    uint8_t staging[64];
    int32_t staging_offset = 0;
    const format_entry format{1, reinterpret_cast<const uint8_t*>(r.format.data())};
    EXPECT_EQ(copy_buffer(*state, format, 0, staging, &staging_offset,
                          reinterpret_cast<const uint8_t*>(r.window.data()), 0, r.window_end, 0),
              r.next_source)
        << r.name;
    std::fclose(state->messages);
  }
}

}  // namespace
}  // namespace asciify
