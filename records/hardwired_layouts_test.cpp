#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "records/record_handlers.h"
#include "tests/support/bytes.h"

namespace asciify {
namespace {

using testing::bytes;
using testing::bytes_of;

// Copies one field of a record held in `window` with copy_buffer.
struct field_copy {
  std::unique_ptr<conversion_state> state = std::make_unique<conversion_state>();
  uint8_t staging[64] = {};
  int32_t staging_offset = 0;
  FILE* messages = std::fopen("/dev/null", "w");

  field_copy() { state->messages = messages; }
  ~field_copy() { std::fclose(messages); }

  int32_t copy(const std::string& formats, int32_t index, const std::string& window,
               int32_t source = 0) {
    const format_entry format{static_cast<uint8_t>(formats.size()),
                              reinterpret_cast<const uint8_t*>(formats.data())};
    return copy_buffer(*state, format, index, staging, &staging_offset,
                       reinterpret_cast<const uint8_t*>(window.data()), source,
                       static_cast<int32_t>(window.size()), 0);
  }
  std::string staged() const {
    return std::string(reinterpret_cast<const char*>(staging), staging_offset);
  }
};

TEST(CopyBuffer, CopiesOneFieldToTheStagingBuffer) {
  struct row {
    const char* name;
    std::string formats;
    std::string window;
    int32_t next_source;  // -1: overrun
    std::string staged;
  };
  const row rows[] = {
      {"4-byte integer", bytes({0x08}), bytes_of<int32_t>(9) + "x", 4, bytes_of<int32_t>(9)},
      {"8-byte real", bytes({0x70}), bytes_of(2.5), 8, bytes_of(2.5)},
      {"marker becomes zeros and is consumed", bytes({0x08}), bytes_of(INT32_MIN), 4,
       std::string(4, '\0')},
      {"string ended by a zero", bytes({0x88}), std::string("abc\0zz", 6), 4, "abc     "},
      {"string of its full width", bytes({0x88}), "12345678z", 8, "12345678"},
      {"string of its full width at the window end", bytes({0x88}), "12345678", 8, "12345678"},
      {"string reaching the window end", bytes({0x88}), "1234567", -1, ""},
      {"open-ended string", bytes({0x80}), std::string("name\0z", 6), 5, std::string("name\0", 5)},
      {"open-ended string without its zero", bytes({0x80}), "name", -1, ""},
      {"number cut by the window end", bytes({0x08}), "abc", -1, ""},
      {"nothing left in the window", bytes({0x88}), "", -1, ""},
  };
  for (const row& r : rows) {
    field_copy copy;
    EXPECT_EQ(copy.copy(r.formats, 0, r.window), r.next_source) << r.name;
    EXPECT_EQ(copy.staged(), r.staged) << r.name;
  }
}

TEST(CopyBuffer, ZeroFillLastsToTheEndOfTheRecord) {
  field_copy copy;
  const std::string formats = bytes({0x08, 0x08, 0x50, 0x88, 0x08});
  const std::string record = bytes_of<int32_t>(1) + bytes_of(INT32_MIN) + std::string("s\0", 2);
  int32_t source = copy.copy(formats, 0, record);
  source = copy.copy(formats, 1, record, source);  // the marker
  EXPECT_EQ(source, 8);
  source = copy.copy(formats, 2, record, source);  // zero-filled: reads nothing
  EXPECT_EQ(source, 8);
  source = copy.copy(formats, 3, record, source);  // strings are still read
  EXPECT_EQ(source, 10);
  source = copy.copy(formats, 4, record, source);  // past the window end, but zero-filled
  EXPECT_EQ(source, 10);
  EXPECT_EQ(copy.staged(),
            bytes_of<int32_t>(1) + std::string(12, '\0') + "s       " + std::string(4, '\0'));
  // The first field of the next record starts without zero fill.
  copy.staging_offset = 0;
  EXPECT_EQ(copy.copy(formats, 0, bytes_of<int32_t>(3)), 4);
  EXPECT_EQ(copy.staged(), bytes_of<int32_t>(3));
}

}  // namespace
}  // namespace asciify
