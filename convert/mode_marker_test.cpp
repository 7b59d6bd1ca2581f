#include "convert/mode_marker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "tests/support/memory_output.h"

namespace asciify {
namespace {

// A closing marker at the window end is consumed up to the end: the zero byte past the end (the
// string's terminator) is not.
TEST(MarkerCheck, ReadsNothingPastTheWindowEnd) {
  for (const char* bytes : {"\3*SUSPEND_BINARY", "\3*END_BINARY"}) {
    SCOPED_TRACE(bytes + 1);
    auto state = std::make_unique<conversion_state>();
    conversion_mode mode = conversion_mode::binary;
    const auto end = static_cast<int32_t>(std::strlen(bytes));
    input_cursor input{reinterpret_cast<const uint8_t*>(bytes), 0, end};
    test_support::memory_output output;
    EXPECT_EQ(check_mode_marker(*state, *output.out, input, mode), marker_check::consumed);
    EXPECT_EQ(input.position, end);
    EXPECT_EQ(mode, conversion_mode::ascii);
  }
}

}  // namespace
}  // namespace asciify
