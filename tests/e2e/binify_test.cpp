// The binify command as a user runs it: exact output file, standard output, standard error and
// status for each case, and round trips through the built asciify.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "asciify/version.h"
#include "input/decoder.h"
#include "tests/e2e/run_asciify.h"
#include "tests/e2e/terminal_runner.h"
#include "tests/support/compression.h"
#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

const std::string kTry = "Try 'binify --help' for more information.\n";
const std::string kUsage =
    "Format is binify [-b little|big] <input ascii filename> <output binary filename>\n" + kTry;
// The usage line, what is wrong with the names, the hint.
std::string usage_because(const std::string& problem) {
  return "Format is binify [-b little|big] <input ascii filename> <output binary filename>\n"
         "binify: " +
         problem + "\n" + kTry;
}

std::string finished(long long lines, long long bytes) {
  return "Finished packing file, " + std::to_string(lines) + " lines in, " + std::to_string(bytes) +
         " bytes out.\n";
}

// Runs binify with `arguments` (words separated by spaces) in `dir`, IN written there first.
command_result binify(const scratch_dir& dir, const std::string& arguments,
                      const std::string& input) {
  write_file(dir.file("in.txt"), input);
  std::vector<std::string> argv{BINIFY_BINARY};
  std::istringstream words(arguments);
  for (std::string word; words >> word;) argv.push_back(word);
  command_result result = run_program(argv, "", dir.path);
  result.output = read_file(dir.file("out.bin"));
  return result;
}

const std::string kRealsRow1 =
    "       1            0.25          -1.375           100.0       0       0\n";
const std::string kRealsRow2 =
    "       2             0.5          -2.875            50.0       0       0\n";
const std::string kRow =
    "       9       1       2       3       4       5       6       0       0       0       0\n";

TEST(Binify, PacksLinesOfNumbersAsRecords) {
  const std::string input = "*TABLE, NAME=alpha\n" + kRealsRow1 + kRealsRow2 + kRealsRow1 + "$\n" +
                            "*ROWS, NAME=beta\n" + kRow + kRow + kRow + "text at the end\n";
  encoder e = encoder{}.line("*TABLE, NAME=alpha").start_binary();
  e.byte(10).i32(1).f32(0.25f).f32(-1.375f).f32(100.0f);  // hard-wired layout 10
  e.byte(10).i32(2).f32(0.5f).f32(-2.875f).f32(50.0f);
  e.byte(10).i32(1).f32(0.25f).f32(-1.375f).f32(100.0f);
  e.text_record("*ROWS, NAME=beta");  // brings the "$" line before it
  // Trailing zeros are left to the zero-fill marker. The layout comes back: it is cached.
  e.lsf4(std::vector<uint8_t>(11, 1)).i32s({9, 1, 2, 3, 4, 5, 6}).marker4();
  e.define(50, std::vector<uint8_t>(11, 0x08)).byte(50).i32s({9, 1, 2, 3, 4, 5, 6}).marker4();
  e.byte(50).i32s({9, 1, 2, 3, 4, 5, 6}).marker4().text_record("text at the end").end_binary();
  const std::string& expected = e.bytes;
  scratch_dir dir;
  const command_result r = binify(dir, "in.txt out.bin", input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, finished(10, static_cast<long long>(expected.size())));
  EXPECT_EQ(r.output, expected);
  // The same through the standard streams, the summary then on standard error.
  const command_result piped = run_program({BINIFY_BINARY, "-", "-"}, dir.file("in.txt"), dir.path);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, r.out);
  EXPECT_EQ(piped.out, expected);
}

// What one run on the input gives. `output` is what out.bin holds afterwards (kInput: the
// input itself; "": not looked at); with `back`, a part of it, and asciify converts out.bin
// back, which must give the input. `old_output` is written to out.bin before the run; besides
// in.txt and out.bin the folder must hold no file.
const std::string kInput = "(the input)";
struct binify_case {
  std::string arguments, input;
  int status;
  std::string out, err, output;
  bool back = false;
  std::string old_output = "";
};

TEST(Binify, CommandLineFilesAndMessages) {
  const std::string failed = "File packing failed after reading ";
  const std::string text = "*TITLE\r\nplain, text\r\n\r\nno end of line";
  const std::string long_lines =
      "a\n" + std::string(300, 'x') + "\n" + std::string(400, 'y') + "\n";
  const std::string numbers = kRealsRow1 + kRealsRow2 + kRealsRow1 + kRow + kRow;
  const std::string markers = "*START_BINARY\n*END_BINARY, 1\n";
  const std::string header = "*START_BINARY\n         1         0  ";  // then the probes
  // clang-format off
  const binify_case cases[] = {
      {"--version", "a\n", 0, "binify " ASCIIFY_VERSION "\n", "", ""},
      {"", "a\n", 1, "", kUsage, ""},
      {"in.txt", "a\n", 1, "", usage_because("missing OUT"), ""},
      {"-q", "a\n", 1, "", usage_because("missing IN"), ""},
      {"in.txt out.bin surplus", "a\n", 1, "", usage_because("unexpected name 'surplus'"), ""},
      {"-x in.txt out.bin", "a\n", 1, "", "binify: unknown option '-x'\n" + kTry, ""},
      {"-b middle in.txt out.bin", "a\n", 1, "",
       "binify: unknown byte order 'middle', not little or big\n" + kTry, ""},
      {"-b", "a\n", 1, "", "binify: option '-b' needs a byte order, little or big\n" + kTry, ""},
      // Options anywhere until "--", and bundled.
      {"in.txt out.bin -q", "a\n", 0, "", "", kInput},
      {"in.txt -qb big out.bin", "a\n", 0, "", "", kInput},
      {"in.txt out.bin -- -q", "a\n", 1, "", usage_because("unexpected name '-q'"), ""},
      {"missing.txt out.bin", "a\n", 1, "", "Couldn't open input ascii file missing.txt for "
       "reading.\nbinify: missing.txt: No such file or directory\n", ""},
      {". out.bin", "a\n", 1, "",
       "Couldn't open input ascii file . for reading.\nbinify: .: Is a directory\n", ""},
      {"in.txt no/such/dir/out.bin", "a\n", 1, "",
       "Couldn't open output binary file no/such/dir/out.bin for writing.\n"
       "binify: no/such/dir/out.bin: No such file or directory\n", ""},
      {"in.txt in.txt", "a\n", 1, "",
       "binify: in.txt and in.txt are the same file; nothing was written.\n", ""},
      {"--byte-order=big in.txt out.bin", "a\n", 0, finished(1, 2), "", kInput},
      {"-- in.txt out.bin", "a\n", 0, finished(1, 2), "", kInput},
      // Quiet: no note and no summary, but every error.
      {"-q in.txt out.bin", text, 0, "", "", kInput},
      {"--quiet -- in.txt out.bin", "a\n", 0, "", "", kInput},
      {"-q in.txt", "a\n", 1, "", usage_because("missing OUT"), ""},
      {"--quiet=yes in.txt out.bin", "a\n", 1, "", "binify: unknown option '--quiet=yes'\n" + kTry,
       ""},
      // Text without numbers stays as it is; extensions of the format are noted.
      {"in.txt out.bin", text, 0, finished(4, text.size()), "Note: the last line (4) has no "
       "end-of-line byte; asciify reads it back, a reader held to whole lines may not.\n", kInput},
      {"in.txt out.bin", long_lines, 0, finished(3, long_lines.size()), "Note: line 2 is longer "
       "than 255 bytes; asciify reads it back, a reader held to 256-byte lines may not.\n", kInput},
      // A line that no file can carry is refused, and an older output stays as it was.
      {"in.txt out.bin", std::string("a\n*END_BINARY\0\n", 15), 2, "",
       "Line 2 begins with the marker *END_BINARY and holds a zero byte: no packed file can "
       "carry it.\n" + failed + "2 lines.\n", "an older file", false, "an older file"},
      {"in.txt out.bin", "*START_BINARY" + std::string(250, '.') + "\n", 2, "",
       "Line 1 begins with the marker *START_BINARY and is too long for one record: no packed "
       "file can carry it.\n" + failed + "1 lines.\n", "an older file", false, "an older file"},
      {"in.txt out.bin", "1\n*SUSPEND_BINARY", 2, "",
       "Line 2 begins with the marker *SUSPEND_BINARY and is the last line and has no "
       "end-of-line byte: no packed file can carry it.\n" + failed + "2 lines.\n", ""},
      // Marker lines that a record can carry, numbers in either byte order: back exactly.
      {"in.txt out.bin", markers, 0, "", "", "", true},
      {"-b little in.txt out.bin", numbers, 0, "", "", header + "01000000  0000803f\n", true},
      {"-b big in.txt out.bin", numbers, 0, "", "", header + "00000001  3f800000\n", true},
  };
  // clang-format on
  for (const binify_case& c : cases) {
    SCOPED_TRACE("binify " + c.arguments + " on " + std::to_string(c.input.size()) + " bytes");
    scratch_dir dir;
    if (!c.old_output.empty()) write_file(dir.file("out.bin"), c.old_output);
    const command_result result = binify(dir, c.arguments, c.input);
    EXPECT_EQ(result.status, c.status);
    const auto lines = std::count(c.input.begin(), c.input.end(), '\n');
    EXPECT_EQ(result.out, c.back ? finished(lines, result.output.size()) : c.out);
    EXPECT_EQ(result.err, c.err);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "in.txt" || name == "out.bin") << name;
    }
    if (c.back) {
      EXPECT_NE(result.output.find(c.output), std::string::npos);
      EXPECT_EQ(run_command({"out.bin", "back.txt"}, "", dir.path).status, 0);
      EXPECT_EQ(read_file(dir.file("back.txt")), c.input);
    } else if (!c.output.empty()) {
      EXPECT_EQ(result.output, c.output == kInput ? c.input : c.output);
    }
  }
  scratch_dir dir;
  if (kHavePosixShell) {  // a system with a full device
    const command_result full = binify(dir, "in.txt /dev/full", "a\n");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err,
              "Failed to write output file /dev/full.\nbinify: /dev/full: No space left on device\n"
              "File packing failed after reading 1 lines.\n");
  }
  const command_result help = binify(dir, "--help", "");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: binify [-b little|big] [--] IN OUT\n")) << help.out;
}

// A compressed text is packed as the text it holds, which asciify gives back.
TEST(Binify, PacksTheTextInsideACompressedInput) {
  const std::string text = kRealsRow1 + kRow + "plain text\n" + kRealsRow2;
  for (const compression_kind kind :
       {compression_kind::gzip, compression_kind::xz, compression_kind::zstd}) {
    if (!compression_supported(kind)) continue;
    SCOPED_TRACE(compression_name(kind));
    scratch_dir dir;
    const command_result plain = binify(dir, "in.txt out.bin", text);
    write_file(dir.file("in.txt.z"), compress(kind, text));
    const command_result packed =
        run_program({BINIFY_BINARY, "in.txt.z", "packed.bin"}, "", dir.path);
    EXPECT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out, plain.out);
    EXPECT_EQ(read_file(dir.file("packed.bin")), plain.output);
  }
}

// The bytes of a string literal, zero bytes included.
template <size_t size>
std::string bytes_of(const char (&literal)[size]) {
  return std::string(literal, size - 1);
}

// Read as it is, a text that starts like a compressed stream (or a compressed file itself) is
// packed into a file that never starts like one: asciify gives back every byte, with and
// without --no-decompress.
TEST(Binify, RoundTripsTextsThatStartLikeACompressedStream) {
  // Each signature with a whole, valid header behind it, and a line of numbers after it.
  std::vector<std::string> texts = {
      bytes_of("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03 1 2 3\n") + kRow,
      bytes_of("\xFD"
               "7zXZ\x00\x00\x04\xE6\xD6\xB4\x46 rest\n") +
          kRow,
      bytes_of("\x28\xB5\x2F\xFD\x00\x58\x00\x00 abc\n") + kRow,
      bytes_of("\x50\x2A\x4D\x18\x04\x00\x00\x00"
               "abc\n"),
      "\x1F\x8B",  // a two-byte file without an end of line
  };
  for (const compression_kind kind :
       {compression_kind::gzip, compression_kind::xz, compression_kind::zstd}) {
    if (compression_supported(kind)) texts.push_back(compress(kind, kRealsRow1 + kRow));
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 8)));
    scratch_dir dir;
    const command_result packed = binify(dir, "-q --no-decompress in.txt out.bin", text);
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(detect_compression(reinterpret_cast<const uint8_t*>(packed.output.data()),
                                 packed.output.size()),
              compression_kind::none);
    for (const char* option : {"-q", "--no-decompress"}) {
      const command_result back =
          run_command({option, "-q", dir.file("out.bin"), dir.file("back.txt")});
      EXPECT_EQ(back.status, 0) << back.err;
      EXPECT_TRUE(read_file(dir.file("back.txt")) == text) << option;
    }
  }
}

TEST(Binify, ShowsProgressOnATerminal) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a pseudo-terminal (POSIX)";
  scratch_dir dir;
  std::string input;
  while (input.size() < (3u << 20)) input += kRealsRow1 + kRow;
  write_file(dir.file("in.txt"), input);
  const terminal_result t = run_in_terminal(
      "cd '" + dir.path + "' && BINIFY_PROGRESS_DELAY_MS=0 \"" BINIFY_BINARY "\" in.txt out.bin");
  EXPECT_EQ(t.status, 0);
  EXPECT_TRUE(std::regex_search(t.received, std::regex(R"(binify: \d+\.\d of 3\.\d MB, \d+%)")))
      << t.received;
  const std::vector<std::string> screen = screen_lines(t.received);
  ASSERT_FALSE(screen.empty());
  EXPECT_TRUE(screen.back().starts_with("Finished packing file")) << screen.back();
  EXPECT_EQ(run_command({"out.bin", "back.txt"}, "", dir.path).status, 0);
  EXPECT_TRUE(read_file(dir.file("back.txt")) == input);
}

}  // namespace
}  // namespace asciify::test_support
