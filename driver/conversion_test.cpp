#include "driver/conversion.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify {
namespace {

using testing::conversion_capture;
using testing::convert_in_memory;
using testing::encoder;

// Lines of one byte each push what follows to any offset of the window.
std::string padding(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += "\n";
  return text;
}

TEST(ConversionLoop, AnyLineOrRecordOf256BytesConvertsWhereverItFalls) {
  const std::string line_256 = std::string(255, 'a') + "\n";
  const std::string text_254(254, 't');  // code byte + 254 characters + zero byte
  for (size_t offset = 0; offset < 2 * kReadSize + 3; ++offset) {
    encoder input;
    input.raw(padding(offset)).raw(line_256).start_binary().text_record(text_254).end_binary();
    input.raw(line_256);
    const conversion_capture result = convert_in_memory(input.bytes);
    ASSERT_EQ(result.status, 0) << "offset " << offset << ": " << result.messages;
    EXPECT_EQ(result.output, padding(offset) + line_256 + text_254 + "\n" + line_256)
        << "offset " << offset;
    EXPECT_EQ(result.lines_written, static_cast<int64_t>(offset) + 3);
  }
}

TEST(ConversionLoop, RecordsLongerThanTheLookaheadFailOnlyWhenCutByTheWindow) {
  // A text record of 600 bytes fits the window only where a refill has just happened.
  const std::string text(598, 'x');
  int converted = 0;
  int failed = 0;
  for (size_t offset = 0; offset < kReadSize; ++offset) {
    encoder input;
    input.raw(padding(offset)).start_binary().text_record(text);
    const conversion_capture result = convert_in_memory(input.bytes);
    if (result.status == 0) {
      ++converted;
      EXPECT_EQ(result.output, padding(offset) + text + "\n");
    } else {
      ++failed;
      EXPECT_EQ(result.messages, "Failed to find zero-termination of string starting x at line " +
                                     std::to_string(offset + 1) +
                                     "\nFile conversion failed after writing " +
                                     std::to_string(offset) + " lines.\n");
    }
  }
  EXPECT_GT(converted, 0);
  EXPECT_GT(failed, 0);
}

TEST(ConversionLoop, CountsBytesReadAndLinesWritten) {
  std::FILE* input = fmemopen(const_cast<char*>("one\ntwo\nthree"), 13, "rb");
  std::FILE* output = std::fopen("/dev/null", "wb");
  auto state = std::make_unique<conversion_state>();
  const conversion_result result = convert_stream(*state, input, output, "in");
  EXPECT_TRUE(result.finished);
  EXPECT_FALSE(result.write_failed);
  EXPECT_EQ(result.lines_written, 3);
  EXPECT_EQ(result.bytes_read, 13);
  std::fclose(input);
  std::fclose(output);
}

}  // namespace
}  // namespace asciify
