// copy_field at the end of the window: bytes past the window end exist and would complete the
// field; they must not be read. A 'long' record's line format, kept from the record before,
// is not used once its cached format is gone. Whole hard-wired records are checked end to end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "records/record_handlers.h"
#include "tests/support/memory_output.h"

namespace asciify {
namespace {

TEST(CopyField, NeverReadsPastTheWindowEnd) {
  const struct {
    std::string format, window;
    int32_t window_end, next_source;  // -1: overrun
  } rows[] = {
      {"\x88", "12345678", 8, 8},                    // a full-width string at the end
      {"\x88", std::string("1234567\0", 8), 7, -1},  // a string reaching the end
      {"\x88", std::string("\0", 1), 0, -1},         // nothing left in the window
      {"\x80", std::string("name\0", 5), 4, -1},     // open-ended, without its zero
      {"\x08", "abcd", 3, -1},                       // a number cut by the end
  };
  for (const auto& r : rows) {
    auto state = std::make_unique<conversion_state>();
    test_support::memory_output output;
    uint8_t bytes[64];
    staging_area staging{bytes, 0};
    const format_entry format{1, reinterpret_cast<const uint8_t*>(r.format.data())};
    const input_cursor record{reinterpret_cast<const uint8_t*>(r.window.data()), 0, r.window_end};
    EXPECT_EQ(copy_field(*state, *output.out, format, 0, staging, record, 0).value_or(-1),
              r.next_source)
        << "row " << &r - rows;
  }
}

TEST(HardwiredLine, KeptLongFormatGoesWithItsCachedFormat) {
  auto state = std::make_unique<conversion_state>();
  test_support::memory_output output;
  const uint8_t format[] = {8, 8, 8, 8};
  define_format(*state, 91, format, 4);
  // Code 30 through cached format 91, four 4-byte integers.
  std::string record = std::string("\x1E\x5B") + std::string(16, '\0');
  auto convert = [&] {
    input_cursor input{reinterpret_cast<const uint8_t*>(record.data()), 0,
                       static_cast<int32_t>(record.size())};
    return process_hardwired_line(*state, *output.out, input);
  };
  ASSERT_TRUE(convert());
  ASSERT_TRUE(convert());  // now with the kept line format
  const uint8_t reset[] = {4, 91};
  input_cursor reset_record{reset, 0, 2};
  ASSERT_TRUE(reset_format(*state, *output.out, reset_record));
  EXPECT_FALSE(convert());
  EXPECT_EQ(output.captured.messages,
            "Error parsing 'long' cached format code 91 in <process_hardwired_line> at line 3\n");
  EXPECT_EQ(output.text(),
            "       0       0       0       0       0       0\n"
            "       0       0       0       0       0       0\n");
}

}  // namespace
}  // namespace asciify
