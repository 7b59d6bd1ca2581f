// Marker lines and records that open, suspend, resume and end binary sections, and the
// header line of a section.
#include <string>
#include <vector>

#include "tests/e2e/conversion_case.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

const std::string kSwapped =
    "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n";

std::string header_with(const std::string& items) {
  return "*START_BINARY\n" + items + "\n";
}

std::vector<conversion_case> marker_cases() {
  const std::string native_probes = header_line(order::native);
  std::string nine_items = native_probes.substr(0, native_probes.size() - 3) + "\nzz\n";
  std::string bad_probes = "         1         0  02000000  0000803f";
  std::string upper_hex = header_line(order::native);
  for (char& c : upper_hex) c = static_cast<char>(toupper(c));

  return {
      {"section of text records",
       encoder{}.line("head").start_binary().text_record("inside").end_binary().line("tail").bytes,
       "head\ninside\ntail\n", finished(3), "", 0},
      {"reversed byte order is announced",
       encoder{}.start_binary(order::reversed).text_record("x").end_binary().bytes, "x\n",
       kSwapped + finished(1), "", 0},
      {"marker line with further text",
       encoder{}
           .line("*START_BINARY and more")
           .raw(header_line(order::native))
           .text_record("t")
           .end_binary()
           .bytes,
       "t\n", finished(1), "", 0},
      {"hex digits in upper case",
       encoder{}.raw("*START_BINARY\n" + upper_hex).text_record("u").bytes, "u\n", finished(1), "",
       0},
      {"version 1.1 is rejected", encoder{}.line("head").start_binary(order::native, 1, 1).bytes,
       "head\n", "",
       "Version mismatch. This executable is 1.0 but file format is 1.1\n" + failed(1), 2},
      {"version 2.0 is rejected", encoder{}.start_binary(order::native, 2, 0).bytes, "", "",
       "Version mismatch. This executable is 1.0 but file format is 2.0\n" + failed(0), 2},
      {"older version 0.0 is accepted",
       encoder{}.start_binary(order::native, 0, 0).text_record("old").bytes, "old\n", finished(1),
       "", 0},
      {"header with nine items", "*START_BINARY\n" + nine_items, "", "",
       "Error parsing data line following *START_BINARY, cannot continue.\n" + failed(0), 2},
      {"probes of no known byte order", header_with(bad_probes), "", "",
       "Format mismatch. Binary format of file does not match that of this computer.\n" + failed(0),
       2},
      {"start marker without end of line", "a\n*START_BINARY", "a\n", "",
       "Failed to find <end_of_line> after *START_BINARY when reading in ASCII mode.\n" + failed(1),
       2},
      {"header without end of line",
       "*START_BINARY\n" + native_probes.substr(0, native_probes.size() - 1), "", "",
       "Failed to find <end_of_line> after data line following *START_BINARY when reading in "
       "ASCII mode.\n" +
           failed(0),
       2},
      {"suspend in ASCII mode", "a\n*SUSPEND_BINARY\n", "a\n", "",
       "Encountered *SUSPEND_BINARY when already in ASCII mode.\n" + failed(1), 2},
      {"end in ASCII mode", "*END_BINARY\n", "", "",
       "Encountered *END_BINARY when already in ASCII mode.\n" + failed(0), 2},
      {"resume in binary mode", encoder{}.start_binary().text_record("*RESUME_BINARY").bytes, "",
       "", "Encountered *RESUME_BINARY when already in BINARY mode.\n" + failed(0), 2},
      {"start in binary mode", encoder{}.start_binary().text_record("*START_BINARY").bytes, "", "",
       "Encountered *START_BINARY when already in binary mode.\n" + failed(0), 2},
      {"resume without end of line", "*RESUME_BINARY", "", "",
       "Failed to find <end_of_line> after *RESUME_BINARY when reading in ASCII mode.\n" +
           failed(0),
       2},
      {"suspend and resume",
       encoder{}
           .start_binary()
           .text_record("a")
           .suspend_binary()
           .line("ascii")
           .resume_binary()
           .text_record("b")
           .end_binary()
           .bytes,
       "a\nascii\nb\n", finished(3), "", 0},
      {"resume marker with further text",
       encoder{}.start_binary().suspend_binary().line("*RESUME_BINARY now").text_record("c").bytes,
       "c\n", finished(1), "", 0},
      {"suspend without its zero byte",
       encoder{}.start_binary().byte(3).raw("*SUSPEND_BINARY").line("back").bytes, "back\n",
       finished(1), "", 0},
      {"end without its zero byte",
       encoder{}.start_binary().byte(3).raw("*END_BINARY").line("z").bytes, "z\n", finished(1), "",
       0},
      {"end without zero byte as the last bytes of the input",
       encoder{}.start_binary().byte(3).raw("*END_BINARY").bytes, "", finished(0), "", 0},
      {"resume after end",
       encoder{}.start_binary().end_binary().resume_binary().text_record("r").bytes, "r\n",
       finished(1), "", 0},
      {"second section with a new byte order",
       encoder{}
           .start_binary(order::reversed)
           .text_record("1")
           .end_binary()
           .start_binary(order::native)
           .text_record("2")
           .end_binary()
           .bytes,
       "1\n2\n", kSwapped + finished(2), "", 0},
      {"input that ends in binary mode", encoder{}.start_binary().text_record("open").bytes,
       "open\n", finished(1), "", 0},
      {"star text that is no marker",
       encoder{}.start_binary().text_record("*NODE").text_record("*SUSPEND").bytes,
       "$\n*NODE\n$\n*SUSPEND\n", finished(4), "", 0},
  };
}

class Markers : public ::testing::TestWithParam<conversion_case> {};

TEST_P(Markers, ConvertExactly) {
  expect_conversion(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, Markers, ::testing::ValuesIn(marker_cases()));

}  // namespace
}  // namespace asciify::testing
