// Whole conversions through the built executable, compared byte for byte: ASCII lines, markers
// and section headers, and every kind of binary record at its edges. Every row finishes; the
// failures are in tests/robustness/failure_paths_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

constexpr order reversed = order::reversed;

encoder section(order numbers = order::native) {
  return encoder{}.start_binary(numbers);
}
// A section in which cached format 50 is defined as `formats`, and the code of its first record.
encoder cached_record(const std::vector<uint8_t>& formats) {
  return section().define(50, formats).byte(50);
}
std::string rep(const std::string& text, size_t times) {
  std::string result;
  while (times-- > 0) result += text;
  return result;
}
// `text` right-aligned (or left-aligned) in `width` columns.
std::string col(const std::string& text, size_t width) {
  return std::string(width - std::min(width, text.size()), ' ') + text;
}
std::string left(const std::string& text, size_t width) {
  return text + std::string(width - text.size(), ' ');
}
std::string ints(const std::string& values, size_t width = 8) {  // space-separated
  std::string line;
  for (size_t at = 0, end; at < values.size(); at = end + 1) {
    end = std::min(values.find(' ', at), values.size());
    line += col(values.substr(at, end - at), width);
  }
  return line;
}

struct row {
  const char* name;
  bytes_in input;
  std::string output;
  std::string err = "";   // warnings
  std::string note = "";  // standard output before the summary
};

void PrintTo(const row& r, std::ostream* os) {
  *os << r.name;
}

// clang-format off
std::vector<row> rows() {
  std::string upper_hex = header_line(order::native);
  for (char& c : upper_hex) c = static_cast<char>(toupper(c));
  std::string window_of_512;
  for (int i = 0; i < 32; ++i) window_of_512 += std::string(15, char('a' + i % 26)) + "\n";
  const std::string copied =
      "alpha\n\none\r\n*TABLE\n*START_BIN\n" + std::string("\x01\x7f\x80\xff\t\0z\n", 8);
  const std::string long_lines =
      "a\n" + std::string(5000, 'x') + "\n" + std::string(600, 'y') + "*START_BINARY\n";
  std::string free_zeros = " 0";
  for (int i = 1; i < 255; ++i) free_zeros += ",0";
  std::string six_strings;
  for (char c : std::string("abcdef")) six_strings += std::string(40, c) + '\0';
  const auto padded = [](char c) { return left(std::string(40, c), 126); };
  const auto extremes = [](encoder file) {
    return file.i32(INT32_MIN + 1).i64(INT64_MIN + 1).f32(-3.4028235e38f)
        .f64(-1.7976931348623157e308)
        .byte(50).i32(INT32_MAX).i64(INT64_MAX).f32(1.4e-45f).f64(4.9e-324);
  };
  return {
    // ASCII mode: lines copied byte for byte, whatever their length and bytes.
    {"empty input", "", ""},
    {"lines copied byte for byte", copied, copied},
    {"last line without end of line is kept", "first\n*RESUME_BINAR", "first\n*RESUME_BINAR"},
    {"only an unterminated line", "lonely", "lonely"},
    {"input of exactly 512 bytes", window_of_512, window_of_512},
    {"lines longer than the window, a marker after the first", long_lines, long_lines},
    {"long last line without end of line", "a\n" + std::string(3000, 'q'),
     "a\n" + std::string(3000, 'q')},
    {"long last line ending at a read boundary", "a\n" + std::string(1534, 'y'),
     "a\n" + std::string(1534, 'y')},
    {"only a long line filling two reads", std::string(1024, 'x'), std::string(1024, 'x')},

    // Markers and section headers.
    {"section of text records",
     encoder{}.line("head").start_binary().text_record("in").end_binary().line("tail"),
     "head\nin\ntail\n"},
    {"reversed byte order is announced", section(reversed).text_record("x").end_binary(), "x\n",
     "", kSwappedNote},
    {"marker line with further text, hex digits in upper case",
     encoder{}.line("*START_BINARY and more").raw(upper_hex).text_record("t"), "t\n"},
    {"older version 0.0 is accepted",
     encoder{}.start_binary(order::native, 0, 0).text_record("old"), "old\n"},
    {"formats survive suspend and resume; resume marker with further text",
     section().define(54, {8}).text_record("a").suspend_binary().line("ascii")
         .line("*RESUME_BINARY now")
         .byte(54).i32(9), "a\nascii\n" + col("9", 8) + "\n"},
    {"suspend and end without their zero bytes",
     section().byte(3).raw("*SUSPEND_BINARY").line("back").resume_binary().byte(3)
         .raw("*END_BINARY")
         .line("z"), "back\nz\n"},
    {"end without zero byte at the end of the input", section().byte(3).raw("*END_BINARY"), ""},
    {"resume after end, input ending in binary mode",
     section().end_binary().resume_binary().text_record("r"), "r\n"},
    {"star texts that are no markers", section().text_record("**TABLE").text_record("*SUSPEND"),
     "$\n**TABLE\n$\n*SUSPEND\n"},
    {"a native section after a reversed one forgets formats, byte order and markers",
     section(reversed).define(56, {8, 8}).byte(56).i32(1).marker4().end_binary().start_binary()
         .define(56, {10, 10}).byte(56).i32(2).marker4().byte(56).i32(3).i32(128),
     ints("1 0") + "\n" + ints("2 0", 10) + "\n" + ints("3 128", 10) + "\n", "", kSwappedNote},
    {"markers of this machine before any header",
     encoder{}.resume_binary().byte(15).i32(7).marker4(), ints("7 0 0 0 0 0 0 0 0 0") + "\n"},

    // Text lines.
    {"empty text, every byte but zero", section().text_record("").text_record("a\tb\x01\xff"),
     "\na\tb\x01\xff\n"},

    // Cached formats and the line writer.
    {"definition then data", cached_record({0x0A, 0x2A}).i32(7).f32(1.5f),
     col("7", 10) + col("1.5", 10) + "\n"},
    {"columns with a short string",
     cached_record({0x0A, 0x0A, 0x88}).i32(7).i32(-12).str("ab").text_record("next"),
     col("7", 10) + col("-12", 10) + left("ab", 8) + "\nnext\n"},
    {"free format from the first field, or restarted by a later one",
     cached_record({0x1F, 0x0A, 0x88}).i32(7).i32(-12).str("ab").define(51, {0x0A, 0x1F}).byte(51)
         .i32(7)
         .i32(-12), " 7, -12,ab\n 7, -12\n"},
    {"zero fill in columns, 8-byte marker, negative zero real",
     cached_record({0x0A, 0x0A, 0x2A, 0x88}).i32(5).marker4()
         .define(51, {0x08, 0x30, 0x88, 0xDF, 0x80})
         .byte(51).marker4().define(52, {0x54, 0x74, 0x0A}).byte(52).i64(-3).marker8()
         .define(53, {0x2A, 0x0A}).byte(53).f32(-0.0f),
     col("5", 10) + col("0", 10) + col("0.0", 10) + left("", 8) + "\n" + col("0", 8)
         + col("0.0", 16) + left("", 8 + 95) + "\n" + col("-3", 20) + col("0.0", 20) + col("0", 10)
         + "\n" + col("0.0", 10) + col("0", 10) + "\n"},
    {"zero fill in free format, restart discards the fixed pass",
     cached_record({0x1F, 0x0A, 0x2A, 0x88}).i32(5).marker4().define(51, {0x08, 0x1F}).byte(51)
         .marker4(),
     " 5, 0,0.0,\n 0,0\n"},
    {"markers in the file's byte order",
     section(reversed).define(65, {0x0C, 0x0A, 0x0A}).byte(65).i32(128).marker4(),
     col("128", 12) + ints("0 0", 10) + "\n", "", kSwappedNote},
    {"8-byte numbers",
     cached_record({0x54, 0x70}).i64(-9000000000LL).f64(0.25).define(51, {0x54, 0x5F}).byte(51)
         .i64(INT64_MAX)
         .i64(-1), col("-9000000000", 20) + col("0.25", 16) + "\n 9223372036854775807, -1\n"},
    {"numbers in the reverse byte order",
     section(reversed).define(68, {0x0A, 0x2A, 0x50, 0x70}).byte(68).i32(65536).f32(-2.5f).i64(1)
         .f64(-1234.5),
     col("65536", 10) + col("-2.5", 10) + col("1", 16) + col("-1234.5", 16) + "\n", "", kSwappedNote},
    {"width-0 fields show nothing", cached_record({0x40, 0x20, 0x08}).i64(7).f32(1.5f).i32(7),
     col("7", 8) + "\n"},
    {"open-ended strings",
     cached_record({0xDF, 0x08}).str("x").i32(7).define(51, {0x80}).byte(51).str("hello"),
     "x" + col("7", 8) + "\nhello\n"},
    {"open-ended string of 254 characters", cached_record({0x80}).str(std::string(254, 'x')),
     std::string(254, 'x') + "\n"},
    {"free-format strings; 31 columns is no free-format mark",
     cached_record({0xFF, 0x9F}).str("a,b").str("c").define(51, {0x9F}).byte(51).str("c"),
     "a,b,c\n" + left("c", 31) + "\n"},
    {"strings filling their width, ended by a zero, empty",
     cached_record({0x84, 0x84, 0x84, 0x08}).chars("abcd").str("abc").str("").i32(7),
     "abcdabc     " + col("7", 8) + "\n"},
    {"empty string in free format", cached_record({0x84, 0x1F}).str("").i32(7), ", 7\n"},
    {"fixed string that ends exactly at the end of the input", cached_record({0x84}).raw("abcd"),
     "abcd\n"},
    {"zero-filled fields read nothing at the end of the input",
     cached_record({0x0A, 0x0A, 0x88}).marker4(),
     col("0", 10) + col("0", 10) + left("", 8) + "\n"},
    {"definition without field format bytes leaves the slot empty",
     section().define(70, {}).define(70, {8}).byte(70).i32(3), col("3", 8) + "\n"},
    {"reset then redefine; resetting codes 50 and 255 and an empty slot",
     section().define(80, {8}).byte(80).i32(1).reset(80).define(80, {10}).byte(80).i32(2).reset(50)
         .reset(255).reset(90), col("1", 8) + "\n" + col("2", 10) + "\n"},
    {"definition of 255 fields, all zero-filled",
     cached_record(std::vector<uint8_t>(255, 1)).marker4(),
     std::string(255, '0') + "\n"},
    {"values too wide for their field, one warning",
     cached_record({8, 4}).i32(123456789).i32(7).byte(50).i32(123456789).i32(7),
     "********   7\n********   7\n", wide_value_warning(8, 1)},
    {"zero texts too wide for their field", cached_record({8, 0x22, 0x20, 0x40, 0x23}).marker4(),
     "       0**0.0\n", wide_value_warning(2, 1)},
    {"real too wide for its field", cached_record({0x23, 0x03}).f32(1e10f).i32(1), "***  1\n",
     wide_value_warning(3, 1)},
    {"widest line: 255 empty strings of 126 columns",
     cached_record(std::vector<uint8_t>(255, 0xFE)).raw(std::string(255, '\0'))
         .text_record("after"),
     std::string(255 * 126, ' ') + "\nafter\n"},
    {"widest line after a marker",
     section().byte(51).byte(0x1E).raw(std::string(254, '\xFE')).byte(0).byte(51).marker4(),
     col("0", 30) + std::string(254 * 126, ' ') + "\n"},
    {"widest free-format line of numbers", cached_record(std::vector<uint8_t>(255, 0x5F)).marker8(),
     free_zeros + "\n"},
    {"extreme numbers in free format", extremes(cached_record({0x1F, 0x5F, 0x3F, 0x7F})),
     " -2147483647, -9223372036854775807, -3.4028235E38, -1.79769313486232E308\n"
     " 2147483647, 9223372036854775807, 1.4012985E-45, 0.0\n"},
    {"extreme numbers in 30 columns", extremes(cached_record({0x1E, 0x5E, 0x3E, 0x7E})),
     col("-2147483647", 30) + col("-9223372036854775807", 30) + col("-3.4028235E38", 30)
         + col("-1.79769313486232E308", 30) + "\n" + col("2147483647", 30)
         + col("9223372036854775807", 30) + col("1.4012985E-45", 30) + col("0.0", 30) + "\n"},

    // Line-specific formats.
    {"packed formats",
     section().lsf4({1, 2, 3}).i32s({1, 2, 3}).lsf4({12, 13}).str("ab").chars("0123456789"),
     col("1", 8) + col("2", 10) + col("3", 20) + "\n" + left("ab", 8) + "0123456789\n"},
    {"packed format ended in its first half, plain format with no fields",
     section().byte(1).byte(0x05).lsf8({}).text_record("x"), "\n\nx\n"},
    {"packed format of 23 codes",
     section().lsf4({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 6})
         .raw(std::string(88, '\0')).f32(2.0f), rep(col("0", 8), 22) + col("2.0", 10) + "\n"},
    {"packed format of 255 codes",
     section().byte(1).raw(std::string(127, '\x11') + "\x10").marker4(),
     rep(col("0", 8), 255) + "\n"},
    {"plain formats",
     section().lsf8({0x0A, 0x2A}).i32(-1).f32(0.5f).lsf8({0xFF, 0xDF, 0x0A}).str("a,b").str("open")
         .i32(3), col("-1", 10) + col("0.5", 10) + "\na,b,open, 3\n"},

    // Hard-wired layouts (the bundled example holds codes 10 to 17 and 30 in both byte orders).
    {"markers in codes 11 and 15, no zero fill in the next record",
     section().byte(11).i32s({1, 2, 3, 4, 5}).marker4().byte(15).i32(1).i32(2).marker4().byte(16)
         .i32s({1, 2, 3, 4, 5}), ints("1 2 3 4 5 0 0 0 0 0") + "\n" + ints("1 2 0 0 0 0 0 0 0 0")
         + "\n" + ints("1 2 3 4 5 5") + "\n"},
    {"codes 37 and 36 with plain and packed formats",
     section().fsf8(37, {8, 8, 8, 8, 8, 8, 0x0A, 0x6A}).i32s({1, 2, 3, 4, 5, 6, 7}).f64(0.125)
         .fsf4(36, {1, 1, 1, 7, 7}).i32s({1, 2, 3}).f32(0.5f).f32(0.75f),
     ints("1 2 3 4 5 5 6") + ints("7", 10) + col("0.125", 10) + col("0.125", 10) + "\n"
         + ints("1 2 3") + col("0.5", 16) + col("0.75", 16) + col("0.75", 16) + "\n"},
    {"zero fields take the free-format width of their reference",
     section().fsf8(30, {0x1F, 0x2A, 0x2A, 0x2A}).i32(1).f32(1.0f).f32(2.0f).f32(3.0f),
     " 1, 1.0, 2.0, 3.0, 0, 0\n"},
    {"zero fields of code 32 as wide as its fourth field",
     section().fsf8(32, {0x08, 0x08, 0x04, 0x0A}).i32s({1, 2, 3, 4}),
     ints("1 2") + ints("3", 4) + ints("4 4 4 4 4 0 0", 10) + "\n"},
    {"packed format of 19 codes, plain format of 19 bytes",
     section().fsf4(30, std::vector<uint8_t>(19, 1)).i32s({1, 2, 3, 4})
         .fsf8(30, std::vector<uint8_t>(19, 8)).i32s({5, 6, 7, 8}),
     ints("1 2 3 4 0 0") + "\n" + ints("5 6 7 8 0 0") + "\n"},
    {"a cached format of a 'long' code changed between records",
     section().define(91, {0x0A, 0x0A, 0x0A, 0x0A}).define(92, {4, 4, 4, 4}).byte(30).byte(91)
         .i32s({1, 2, 3, 4}).byte(30).byte(92).i32s({5, 6, 7, 8}).byte(30).byte(91)
         .i32s({1, 2, 3, 4}).reset(91).define(91, {0x14, 0x14, 0x14, 0x14}).byte(30).byte(91)
         .i32s({1, 2, 3, 4}).byte(30).byte(92).i32s({5, 6, 7, 8}),
     ints("1 2 3 4 0 0", 10) + "\n" + ints("5 6 7 8 0 0", 4) + "\n" + ints("1 2 3 4 0 0", 10) + "\n"
         + ints("1 2 3 4 0 0", 20) + "\n" + ints("5 6 7 8 0 0", 4) + "\n"},
    {"cached format of more than 20 bytes",
     section().define(91, std::vector<uint8_t>(30, 4)).byte(31).byte(91).i32s({1, 2, 3, 4, 5, 6})
         .text_record("after"), ints("1 2 3 4 5 6 6 6 6 6", 4) + "\nafter\n"},
    {"strings in a hard-wired record",
     section().fsf8(36, {0x88, 0x88, 0x84, 0x08, 0x08}).str("abc").chars("12345678").chars("wxyz")
         .i32(1)
         .i32(2), left("abc", 8) + "12345678wxyz" + ints("1 2 2") + "\n"},
    {"string after a marker is read from the record",
     section().fsf8(36, {8, 8, 0x50, 0x88, 8}).i32(1).marker4().str("s").text_record("n"),
     ints("1 0") + col("0", 16) + left("s", 8) + ints("0 0") + "\nn\n"},
    // The zero fields take width 0 from the string byte 0x80: they show nothing.
    {"open-ended string in a hard-wired record",
     section().fsf8(30, {0x80, 0x2A, 0x2A, 0x2A}).str("name").f32(1.0f).f32(2.0f).f32(3.0f),
     "name" + col("1.0", 10) + col("2.0", 10) + col("3.0", 10) + "\n"},
    {"full-width string at the end of the input",
     section().fsf8(30, {8, 8, 8, 0x84}).i32s({1, 2, 3}).chars("abcd"),
     ints("1 2 3") + "abcd" + ints("0 0") + "\n"},
    {"marker as the last bytes of the input", section().byte(15).i32(7).marker4(),
     ints("7 0 0 0 0 0 0 0 0 0") + "\n"},
    {"line wider than its record",
     section().fsf8(31, std::vector<uint8_t>(6, 0xFE)).raw(six_strings),
     padded('a') + padded('b') + padded('c') + padded('d') + padded('e') + rep(padded('f'), 5)
         + "\n"},
  };
}
// clang-format on

class Conversions : public ::testing::TestWithParam<row> {};

TEST_P(Conversions, ConvertExactly) {
  const row& r = GetParam();
  const command_result result = convert_file(r.input.bytes);
  const auto lines = std::count(r.output.begin(), r.output.end(), '\n') +
                     (unterminated_tail(r.output).empty() ? 0 : 1);
  EXPECT_EQ(result.output, r.output);
  EXPECT_EQ(result.out, r.note + finished_summary(lines));
  const int64_t open_section = r.input.open_section_at;
  EXPECT_EQ(result.err, r.err + (open_section >= 0 ? cut_short_warning(open_section) : ""));
  EXPECT_EQ(result.status, 0);
  // A program that feeds the same bytes to the library, in pieces of any size, gets the same.
  for (const size_t piece : kPieceSizes) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    const conversion_capture run =
        convert_in_memory(r.input.bytes, {.use_line_queue = piece % 2 == 1, .piece_size = piece});
    EXPECT_EQ(run.output, result.output);
    EXPECT_EQ(run.info, result.out);
    EXPECT_EQ(run.messages, result.err);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.report.lines_written, lines);
    EXPECT_EQ(run.report.ended_in_binary, open_section >= 0);
    EXPECT_EQ(run.report.warnings.size(),
              static_cast<size_t>(std::count(result.err.begin(), result.err.end(), '\n')));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, Conversions, ::testing::ValuesIn(rows()));

}  // namespace
}  // namespace asciify::test_support
