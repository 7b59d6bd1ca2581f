#include "convert/conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify {
namespace {

using test_support::conversion_capture;
using test_support::convert_in_memory;
using test_support::encoder;

// Lines and records of exactly 256 bytes (the lookahead), shifted by lines of one byte across
// every offset of the window and past two refills: an ASCII line, a text record, an open-ended
// string and two fixed strings in a plain format.
TEST(ConversionLoop, AnyLineOrRecordOf256BytesConvertsWhereverItFalls) {
  const std::string line_256 = std::string(255, 'a') + "\n";
  const std::string text(254, 't');        // code, 254 characters, zero byte
  const std::string open_ended(254, 'o');  // code, 254 characters, zero byte
  const std::string fixed(252, 'f');       // code, two 126-column formats, zero, characters
  for (size_t shift = 0; shift < 2 * kReadSize + 3; ++shift) {
    encoder file;
    file.raw(std::string(shift, '\n') + line_256).start_binary().define(60, {0x80});
    file.text_record(text).byte(60).str(open_ended).lsf8({0xFE, 0xFE}).chars(fixed).end_binary();
    const conversion_capture run = convert_in_memory(file.raw(line_256).bytes);
    ASSERT_EQ(run.status, 0) << "shift " << shift << "\n" << run.messages;
    ASSERT_EQ(run.output, std::string(shift, '\n') + line_256 + text + "\n" + open_ended + "\n" +
                              fixed + "\n" + line_256)
        << "shift " << shift;
    ASSERT_EQ(run.lines_written, static_cast<int64_t>(shift) + 5);
  }
}

TEST(ConversionLoop, RecordsLongerThanTheLookaheadFailOnlyWhenCutByTheWindow) {
  // A text record of 600 bytes fits the window only where a refill has just happened.
  const std::string text(598, 'x');
  int converted = 0;
  int failed = 0;
  for (size_t offset = 0; offset < kReadSize; ++offset) {
    const std::string padding(offset, '\n');
    const conversion_capture result =
        convert_in_memory(encoder{}.raw(padding).start_binary().text_record(text).bytes);
    if (result.status == 0) {
      ++converted;
      EXPECT_EQ(result.output, padding + text + "\n");
    } else {
      ++failed;
      const size_t record = offset + encoder{}.start_binary().bytes.size();
      EXPECT_EQ(result.messages, "Failed to find zero-termination of string starting x at line " +
                                     std::to_string(offset + 1) + "\nasciify: input byte " +
                                     std::to_string(record) +
                                     ": the record does not end within 256 bytes: the binary "
                                     "data are damaged\n" +
                                     test_support::failed_summary(offset));
    }
  }
  EXPECT_GT(converted, 0);
  EXPECT_GT(failed, 0);
}

// A carriage return before the end of the marker line or of the header line is the sign of an
// end-of-line conversion, which a header that cannot be read then names.
TEST(ConversionLoop, HeaderFaultAfterACarriageReturnNamesTheConversion) {
  for (const char* input : {"*START_BINARY\r\nversion 1\n", "*START_BINARY\nversion 1\r\n"}) {
    const conversion_capture run = convert_in_memory(input);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.messages.find("end-of-line conversion"), std::string::npos) << run.messages;
  }
}

}  // namespace
}  // namespace asciify
