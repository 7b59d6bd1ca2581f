// Every kind of binary record, end to end: text lines, format resets, cached formats,
// line-specific formats and hard-wired layouts, with the failures of each.
#include <string>
#include <vector>

#include "tests/e2e/conversion_case.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

// `text` right-aligned in `width` columns.
std::string col(const std::string& text, size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// `text` left-aligned in `width` columns.
std::string left(const std::string& text, size_t width) {
  return text + std::string(width - text.size(), ' ');
}

encoder section(order numbers = order::native) {
  return encoder{}.start_binary(numbers);
}

std::vector<conversion_case> text_line_cases() {
  return {
      {"empty text line", section().text_record("").bytes, "\n", finished(1), "", 0},
      {"text with every byte but zero", section().text_record("a\tb\x01\xff").bytes,
       "a\tb\x01\xff\n", finished(1), "", 0},
      {"text without its zero byte", section().text_record("ok").byte(3).raw("abc").bytes, "ok\n",
       "", "Failed to find zero-termination of string starting a at line 2\n" + failed(1), 2},
      {"text code as the last byte of the input", section().byte(3).bytes, "", "",
       "Failed to find zero-termination of string starting   at line 1\n" + failed(0), 2},
      {"star text without its zero byte writes no dollar line", section().byte(3).raw("*abc").bytes,
       "", "", "Failed to find zero-termination of string starting * at line 1\n" + failed(0),
       2},
  };
}

std::vector<conversion_case> cached_format_cases() {
  return {
      {"definition then data", section().define(50, {0x0A, 0x2A}).byte(50).i32(7).f32(1.5f).bytes,
       col("7", 10) + col("1.5", 10) + "\n", finished(1), "", 0},
      {"columns with a short string",
       section()
           .define(60, {0x0A, 0x0A, 0x88})
           .byte(60)
           .i32(7)
           .i32(-12)
           .str("ab")
           .text_record("next")
           .bytes,
       col("7", 10) + col("-12", 10) + left("ab", 8) + "\nnext\n", finished(2), "", 0},
      {"free format from the first field",
       section().define(61, {0x1F, 0x0A, 0x88}).byte(61).i32(7).i32(-12).str("ab").bytes,
       " 7, -12,ab\n", finished(1), "", 0},
      {"free-format mark on a later field restarts the line",
       section().define(62, {0x0A, 0x1F}).byte(62).i32(7).i32(-12).bytes, " 7, -12\n", finished(1),
       "", 0},
      {"zero fill in columns",
       section()
           .define(63, {0x0A, 0x0A, 0x2A, 0x88})
           .byte(63)
           .i32(5)
           .marker4()
           .text_record("n")
           .bytes,
       col("5", 10) + col("0", 10) + col("0.0", 10) + std::string(8, ' ') + "\nn\n", finished(2),
       "", 0},
      {"zero fill in free format",
       section().define(64, {0x1F, 0x0A, 0x2A, 0x88}).byte(64).i32(5).marker4().bytes,
       " 5, 0,0.0,\n", finished(1), "", 0},
      {"8-byte marker fills the rest",
       section().define(65, {0x54, 0x74, 0x0A}).byte(65).i64(-3).marker8().bytes,
       col("-3", 20) + col("0.0", 20) + col("0", 10) + "\n", finished(1), "", 0},
      {"open-ended string", section().define(66, {0x80}).byte(66).str("hello").bytes, "hello\n",
       finished(1), "", 0},
      {"8-byte numbers",
       section().define(67, {0x54, 0x70}).byte(67).i64(-9000000000LL).f64(0.25).bytes,
       col("-9000000000", 20) + col("0.25", 16) + "\n", finished(1), "", 0},
      {"numbers in the reverse byte order",
       section(order::reversed)
           .define(68, {0x0A, 0x2A, 0x50})
           .byte(68)
           .i32(65536)
           .f32(-2.5f)
           .i64(1)
           .bytes,
       col("65536", 10) + col("-2.5", 10) + col("1", 16) + "\n",
       "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n" + finished(1),
       "", 0},
      {"definition without field format bytes leaves the slot empty",
       section().define(70, {}).define(70, {0x08}).byte(70).i32(3).bytes, col("3", 8) + "\n",
       finished(1), "", 0},
      {"reset then redefine",
       section()
           .define(80, {0x08})
           .byte(80)
           .i32(1)
           .reset(80)
           .define(80, {0x0A})
           .byte(80)
           .i32(2)
           .bytes,
       col("1", 8) + "\n" + col("2", 10) + "\n", finished(2), "", 0},
      {"resetting codes 50 and 255 and an empty slot",
       section().reset(50).reset(255).reset(90).text_record("done").bytes, "done\n", finished(1),
       "", 0},
      {"resetting a reserved code", section().text_record("a").reset(49).bytes, "a\n", "",
       "Attempt to reset reserved format code 49 in <reset_format> at line 2\n" + failed(1), 2},
      {"resetting code 0", section().reset(0).bytes, "", "",
       "Attempt to reset reserved format code 0 in <reset_format> at line 1\n" + failed(0), 2},
      {"reset cut short", section().byte(4).bytes, "", "",
       "Buffer too short in <reset_format> at line 1\n" + failed(0), 2},
      {"definition without its zero byte", section().byte(51).raw("\x0a\x0a").bytes, "", "",
       "Error reading new format 51 in <process_formatted_line> at line 1\n" + failed(0), 2},
      {"definition of more than 255 fields",
       section().byte(52).raw(std::string(256, '\x01')).byte(0).bytes, "", "",
       "Format has more than 255 fields in <process_formatted_line> at line 1\n" + failed(0), 2},
      {"definition of 255 fields, all zero-filled",
       section().byte(53).raw(std::string(255, '\x01')).byte(0).byte(53).marker4().bytes,
       std::string(255, '0') + "\n", finished(1), "", 0},
      {"formats survive suspend and resume",
       section()
           .define(54, {0x08})
           .suspend_binary()
           .line("a")
           .resume_binary()
           .byte(54)
           .i32(9)
           .bytes,
       "a\n" + col("9", 8) + "\n", finished(2), "", 0},
      {"a new section forgets its formats",
       section()
           .define(55, {0x08})
           .end_binary()
           .start_binary()
           .define(55, {0x0A})
           .byte(55)
           .i32(4)
           .bytes,
       col("4", 10) + "\n", finished(1), "", 0},
      {"data that run past the end of the input",
       section().define(56, {0x0A, 0x0A}).byte(56).i32(1).raw("ab").bytes, "", "",
       "Record data runs past the end of the input in <write_formatted_line> at line 1\n" +
           failed(0),
       2},
      {"fixed string that runs past the end of the input",
       section().define(57, {0x88}).byte(57).raw("abc").bytes, "", "",
       "Record data runs past the end of the input in <write_formatted_line> at line 1\n" +
           failed(0),
       2},
      {"fixed string that ends exactly at the end of the input",
       section().define(57, {0x84}).byte(57).raw("abcd").bytes, "abcd\n", finished(1), "", 0},
      {"zero-filled fields read nothing at the end of the input",
       section().define(58, {0x0A, 0x0A, 0x88}).byte(58).marker4().bytes,
       col("0", 10) + col("0", 10) + std::string(8, ' ') + "\n", finished(1), "", 0},
      {"open-ended string without its zero byte",
       section().define(59, {0x80}).byte(59).raw("abc").bytes, "", "",
       "Error reading open-ended C format in <write_formatted_line> at line 1\n" + failed(0), 2},
      {"open-ended string of 254 characters",
       section().define(59, {0x80}).byte(59).str(std::string(254, 'x')).bytes,
       std::string(254, 'x') + "\n", finished(1), "", 0},
      {"open-ended string of 255 characters",
       section().define(59, {0x80}).byte(59).str(std::string(255, 'x')).bytes, "", "",
       "Attempted buffer overrun copying open-ended C format in <write_formatted_line> at line "
       "1\n" +
           failed(0),
       2},
      {"integer too wide for its field",
       section()
           .define(71, {0x08, 0x04})
           .byte(71)
           .i32(123456789)
           .i32(7)
           .byte(71)
           .i32(123456789)
           .i32(7)
           .bytes,
       "********   7\n********   7\n", finished(2),
       "Warning: value too wide for its 8-column field at line 1, written as '*'\n", 0},
  };
}

std::vector<conversion_case> line_specific_cases() {
  return {
      {"packed format", section().lsf4({1, 2, 3}).i32(1).i32(2).i32(3).bytes,
       col("1", 8) + col("2", 10) + col("3", 20) + "\n", finished(1), "", 0},
      {"packed format ended in its first half", section().byte(1).byte(0x05).text_record("x").bytes,
       "\nx\n", finished(2), "", 0},
      {"packed format of 23 codes",
       section()
           .lsf4({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 6})
           .raw(std::string(22 * 4, '\0'))
           .f32(2.0f)
           .bytes,
       [] {
         std::string line;
         for (int i = 0; i < 22; ++i) line += col("0", 8);
         return line + col("2.0", 10) + "\n";
       }(),
       finished(1), "", 0},
      {"packed strings", section().lsf4({12, 13}).str("ab").chars("0123456789").bytes,
       left("ab", 8) + "0123456789\n", finished(1), "", 0},
      {"plain format", section().lsf8({0x0A, 0x2A}).i32(-1).f32(0.5f).bytes,
       col("-1", 10) + col("0.5", 10) + "\n", finished(1), "", 0},
      {"plain format with no fields", section().lsf8({}).text_record("y").bytes, "\ny\n",
       finished(2), "", 0},
      {"plain format with free-format and open-ended strings",
       section().lsf8({0xFF, 0xDF, 0x0A}).str("a,b").str("open").i32(3).bytes, "a,b,open, 3\n",
       finished(1), "", 0},
      {"packed format without its zero code", section().byte(1).raw("\x12\x34").bytes, "", "",
       "FC_LSF4 formatting error at line 1\n" + failed(0), 2},
      {"plain format without its zero byte", section().byte(2).raw("\x0a\x0a").bytes, "", "",
       "FC_LSF8 formatting error at line 1\n" + failed(0), 2},
      {"plain format of more than 255 fields",
       section().byte(2).raw(std::string(256, '\x01')).byte(0).bytes, "", "",
       "Format has more than 255 fields in <process_lsf_line> at line 1\n" + failed(0), 2},
      {"packed format of more than 255 fields",
       section().byte(1).raw(std::string(128, '\x11')).byte(0).bytes, "", "",
       "Format has more than 255 fields in <process_lsf_line> at line 1\n" + failed(0), 2},
  };
}

std::string ints(std::initializer_list<const char*> values, size_t width = 8) {
  std::string line;
  for (const char* value : values) line += col(value, width);
  return line;
}

std::vector<conversion_case> hardwired_cases() {
  const std::string point =
      col("5", 8) + col("1.5", 16) + col("2.5", 16) + col("3.5", 16) + col("0", 8) + col("0", 8);
  return {
      {"point record",
       section().byte(10).i32(5).f32(1.5f).f32(2.5f).f32(3.5f).text_record("t").bytes,
       point + "\nt\n", finished(2), "", 0},
      {"point record in the reverse byte order",
       section(order::reversed).byte(10).i32(5).f32(1.5f).f32(2.5f).f32(3.5f).bytes, point + "\n",
       "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n" + finished(1),
       "", 0},
      {"code 11 repeats its sixth field",
       section().byte(11).i32(1).i32(2).i32(3).i32(4).i32(5).i32(6).bytes,
       ints({"1", "2", "3", "4", "5", "6", "6", "6", "6", "6"}) + "\n", finished(1), "", 0},
      {"code 11 with the marker as its sixth field",
       section().byte(11).i32(1).i32(2).i32(3).i32(4).i32(5).marker4().text_record("n").bytes,
       ints({"1", "2", "3", "4", "5", "0", "0", "0", "0", "0"}) + "\nn\n", finished(2), "", 0},
      {"code 12 repeats its fourth field and appends zeros",
       section().byte(12).i32(1).i32(2).i32(3).i32(4).bytes,
       ints({"1", "2", "3", "4", "4", "4", "4", "4", "0", "0"}) + "\n", finished(1), "", 0},
      {"code 13", section().byte(13).i32(1).i32(2).i32(3).i32(4).i32(5).i32(6).i32(7).i32(8).bytes,
       ints({"1", "2", "3", "4", "5", "6", "7", "7", "8", "8"}) + "\n", finished(1), "", 0},
      {"code 14", section().byte(14).i32(1).i32(2).i32(3).i32(4).i32(5).i32(6).bytes,
       ints({"1", "2", "3", "4", "5", "5", "6", "6", "0", "0"}) + "\n", finished(1), "", 0},
      {"code 15 with the marker as its third field",
       section().byte(15).i32(1).i32(2).marker4().text_record("n").bytes,
       ints({"1", "2", "0", "0", "0", "0", "0", "0", "0", "0"}) + "\nn\n", finished(2), "", 0},
      {"code 16", section().byte(16).i32(1).i32(2).i32(3).i32(4).i32(5).bytes,
       ints({"1", "2", "3", "4", "5", "5"}) + "\n", finished(1), "", 0},
      {"code 17", section().byte(17).i32(1).i32(2).i32(3).i32(4).i32(5).i32(6).i32(7).i32(8).bytes,
       ints({"1", "2", "3", "4", "5", "5", "6", "7", "8", "8"}) + "\n", finished(1), "", 0},
      {"code 37 with an 8-byte real repeated",
       section()
           .fsf8(37, {8, 8, 8, 8, 8, 8, 0x0A, 0x6A})
           .i32(1)
           .i32(2)
           .i32(3)
           .i32(4)
           .i32(5)
           .i32(6)
           .i32(7)
           .f64(0.125)
           .bytes,
       ints({"1", "2", "3", "4", "5", "5", "6"}) + col("7", 10) + col("0.125", 10) +
           col("0.125", 10) + "\n",
       finished(1), "", 0},
      {"code 36 with a packed format",
       section().fsf4(36, {1, 1, 1, 7, 7}).i32(1).i32(2).i32(3).f32(0.5f).f32(0.75f).bytes,
       ints({"1", "2", "3"}) + col("0.5", 16) + col("0.75", 16) + col("0.75", 16) + "\n",
       finished(1), "", 0},
      {"code 30 with a cached format",
       section()
           .define(90, {0x0A, 0x70, 0x70, 0x70})
           .byte(30)
           .byte(90)
           .i32(3)
           .f64(1.0)
           .f64(2.0)
           .f64(-3.0)
           .bytes,
       col("3", 10) + col("1.0", 16) + col("2.0", 16) + col("-3.0", 16) + col("0", 10) +
           col("0", 10) + "\n",
       finished(1), "", 0},
      {"zero fields take the free-format width of their reference byte",
       section().fsf8(30, {0x1F, 0x2A, 0x2A, 0x2A}).i32(1).f32(1.0f).f32(2.0f).f32(3.0f).bytes,
       " 1, 1.0, 2.0, 3.0, 0, 0\n", finished(1), "", 0},
      {"packed format of 19 codes",
       section()
           .fsf4(30, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})
           .i32(1)
           .i32(2)
           .i32(3)
           .i32(4)
           .bytes,
       ints({"1", "2", "3", "4", "0", "0"}) + "\n", finished(1), "", 0},
      {"packed format of 20 codes",
       section().fsf4(30, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}).bytes, "",
       "",
       "Error parsing 'long' FSF4 format code in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"plain format of 19 bytes",
       section()
           .fsf8(30, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8})
           .i32(1)
           .i32(2)
           .i32(3)
           .i32(4)
           .bytes,
       ints({"1", "2", "3", "4", "0", "0"}) + "\n", finished(1), "", 0},
      {"plain format of 20 bytes",
       section().fsf8(30, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}).bytes, "",
       "",
       "Error parsing 'long' FSF8 format code in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"packed selector with nothing after it", section().byte(30).byte(1).bytes, "", "",
       "Error parsing 'long' FSF4 format code in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"plain selector with nothing after it", section().byte(31).byte(2).bytes, "", "",
       "Error parsing 'long' FSF8 format code in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"long code without its selector", section().byte(33).bytes, "", "",
       "Record data runs past the end of the input in <process_hardwired_line> at line 1\n" +
           failed(0),
       2},
      {"selector 3", section().byte(30).byte(3).bytes, "", "",
       "Error parsing 'long' cached format code 3 in <process_hardwired_line> at line 1\n" +
           failed(0),
       2},
      {"selector naming an empty slot", section().byte(30).byte(77).bytes, "", "",
       "Error parsing 'long' cached format code 77 in <process_hardwired_line> at line 1\n" +
           failed(0),
       2},
      {"reserved long code with a valid format",
       section().fsf8(40, {8, 8, 8, 8}).i32(1).i32(2).i32(3).i32(4).bytes, "", "",
       "Found unknown reserved format code 40 in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"reserved long code with a bad selector", section().byte(40).byte(9).bytes, "", "",
       "Error parsing 'long' cached format code 9 in <process_hardwired_line> at line 1\n" +
           failed(0),
       2},
      {"reserved long code with a short format", section().fsf8(45, {8}).bytes, "", "",
       "Found unknown reserved format code 45 in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"long format shorter than its layout", section().fsf8(35, {8, 8, 8}).i32(1).bytes, "", "",
       "'long' format too short for format code 35 in <process_hardwired_line> at line 1\n" +
           failed(0),
       2},
      {"cached format of more than 20 bytes as a long format",
       section()
           .byte(91)
           .raw(std::string(30, '\x04'))
           .byte(0)
           .byte(31)
           .byte(91)
           .i32(1)
           .i32(2)
           .i32(3)
           .i32(4)
           .i32(5)
           .i32(6)
           .text_record("after")
           .bytes,
       ints({"1", "2", "3", "4", "5", "6", "6", "6", "6", "6"}, 4) + "\nafter\n", finished(2), "",
       0},
      {"strings in a hard-wired record",
       section()
           .fsf8(36, {0x88, 0x88, 0x84, 0x08, 0x08})
           .str("abc")
           .chars("12345678")
           .chars("wxyz")
           .i32(1)
           .i32(2)
           .bytes,
       left("abc", 8) + "12345678" + "wxyz" + ints({"1", "2", "2"}) + "\n", finished(1), "", 0},
      {"string after a zero-fill marker is read from the record",
       section()
           .fsf8(36, {0x08, 0x08, 0x08, 0x88, 0x08})
           .i32(1)
           .marker4()
           .str("s")
           .text_record("n")
           .bytes,
       ints({"1", "0", "0"}) + left("s", 8) + ints({"0", "0"}) + "\nn\n", finished(2), "", 0},
      {"open-ended string in a hard-wired record",
       section().fsf8(30, {0x80, 0x2A, 0x2A, 0x2A}).str("name").f32(1.0f).f32(2.0f).f32(3.0f).bytes,
       // The zero fields take width 0 from the string byte 0x80: they show nothing.
       "name" + col("1.0", 10) + col("2.0", 10) + col("3.0", 10) + "\n", finished(1), "", 0},
      {"open-ended string without its zero byte in a hard-wired record",
       section().fsf8(30, {0x80, 0x2A, 0x2A, 0x2A}).raw("name").bytes, "", "",
       "Buffer overrun in <copy_buffer> on line 1\n" + failed(0), 2},
      {"fixed string reaching the end of the input",
       section().fsf8(30, {0x88, 8, 8, 8}).raw("abcdefg").bytes, "", "",
       "Buffer overrun in <copy_buffer> on line 1\n" + failed(0), 2},
      {"number cut off by the end of the input",
       section().byte(10).i32(5).f32(1.0f).raw("ab").bytes, "", "",
       "Buffer overrun in <copy_buffer> on line 1\n" + failed(0), 2},
      {"marker as the last bytes of the input", section().byte(15).i32(7).marker4().bytes,
       ints({"7", "0", "0", "0", "0", "0", "0", "0", "0", "0"}) + "\n", finished(1), "", 0},
      {"reserved codes", section().byte(5).bytes, "", "",
       "Found unknown reserved format code 5 in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"reserved code 0", section().text_record("a").byte(0).bytes, "a\n", "",
       "Found unknown reserved format code 0 in <process_hardwired_line> at line 2\n" + failed(1),
       2},
      {"reserved code 29", section().byte(29).bytes, "", "",
       "Found unknown reserved format code 29 in <process_hardwired_line> at line 1\n" + failed(0),
       2},
      {"markers of this machine before any header",
       encoder{}.resume_binary().byte(15).i32(7).marker4().bytes,
       ints({"7", "0", "0", "0", "0", "0", "0", "0", "0", "0"}) + "\n", finished(1), "", 0},
  };
}

class TextLines : public ::testing::TestWithParam<conversion_case> {};
TEST_P(TextLines, ConvertExactly) {
  expect_conversion(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Cases, TextLines, ::testing::ValuesIn(text_line_cases()));

class CachedFormats : public ::testing::TestWithParam<conversion_case> {};
TEST_P(CachedFormats, ConvertExactly) {
  expect_conversion(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Cases, CachedFormats, ::testing::ValuesIn(cached_format_cases()));

class LineSpecificFormats : public ::testing::TestWithParam<conversion_case> {};
TEST_P(LineSpecificFormats, ConvertExactly) {
  expect_conversion(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Cases, LineSpecificFormats, ::testing::ValuesIn(line_specific_cases()));

class HardwiredLayouts : public ::testing::TestWithParam<conversion_case> {};
TEST_P(HardwiredLayouts, ConvertExactly) {
  expect_conversion(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Cases, HardwiredLayouts, ::testing::ValuesIn(hardwired_cases()));

}  // namespace
}  // namespace asciify::testing
