// Compressed inputs through the built executable: gzip, xz and zstd variants of the example,
// whole, in pieces and through standard input, convert to the bytes of the plain one, also in
// a listing and into a folder; a cut or damaged one fails with the reason.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/support/compression.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::test_support {
namespace {

TEST(CompressedInput, ConvertsToTheBytesOfThePlainInputOrFailsWithTheReason) {
  using enum compression_kind;
  const std::string plain = example_input().bytes;
  const command_result expected = convert_file(plain);
  ASSERT_EQ(expected.status, 0) << expected.err;
  const scratch_dir dir;
  dir.write("a.dat", plain);
  const command_result plain_list = run_command({"-l", "--json", "a.dat"}, "", dir.path);
  // The same listing, but for the name, the size of the file and its compression.
  const auto after_bytes_read = [](const std::string& json) {
    return json.substr(json.find("\"bytes_read\""));
  };
  const size_t half = plain.size() / 2;
  for (const compression_kind kind : {gzip, xz, zstd}) {
    if (!compression_supported(kind)) continue;  // this build cannot read it
    SCOPED_TRACE(compression_name(kind));
    // One stream; and two streams one after the other, read as one.
    const std::string whole = compress(kind, plain);
    for (const std::string& input :
         {whole, compress(kind, plain.substr(0, half)) + compress(kind, plain.substr(half))}) {
      const command_result run = convert_file(input);
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_TRUE(run.output == expected.output);
      EXPECT_EQ(run.out, expected.out);
    }
    // Through standard input, in a listing and into a folder.
    const command_result piped = run_command({"-", "-"}, dir.write("b.dat", whole), dir.path);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == expected.output);
    const command_result listed = run_command({"-l", "--json", "b.dat"}, "", dir.path);
    EXPECT_EQ(after_bytes_read(listed.out), after_bytes_read(plain_list.out));
    EXPECT_NE(listed.out.find("\"compression\": \"" + std::string(compression_name(kind))),
              std::string::npos)
        << listed.out;
    const command_result folder = run_command({"-q", "-d", "out", "a.dat", "b.dat"}, "", dir.path);
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_TRUE(read_file(dir.file("out/a.txt")) == read_file(dir.file("out/b.txt")));
    EXPECT_FALSE(read_file(dir.file("out/b.txt")).empty());

    // Cut short or followed by bytes that are no stream: the run fails with the reason. Damaged
    // data may reach the conversion before the stream's check fails, as with any decompressor:
    // the run fails either way.
    std::string damaged = whole;
    damaged[damaged.size() / 2] ^= 0x55;
    const std::pair<std::string, bool> broken[] = {{whole.substr(0, whole.size() / 3), true},
                                                   {whole.substr(0, whole.size() / 2), true},
                                                   {whole.substr(0, whole.size() - 1), true},
                                                   {whole + "tail", true},
                                                   {damaged, false}};
    for (const auto& [input, says_why] : broken) {
      SCOPED_TRACE(std::to_string(input.size()) + " bytes");
      const command_result run = convert_file(input);
      EXPECT_EQ(run.status, 2);
      EXPECT_TRUE(run.err.ends_with("lines.\n")) << run.err;
      if (!says_why) continue;
      EXPECT_TRUE(run.err.starts_with("Failed to read input file ")) << run.err;
      EXPECT_NE(run.err.find("\nasciify: "), std::string::npos) << run.err;
    }
    // A listing gives the reason too, in both forms; read as it is, the file is plain.
    dir.write("cut.dat", whole.substr(0, whole.size() / 2));
    const command_result text = run_command({"-l", "cut.dat"}, "", dir.path);
    const command_result json = run_command({"-l", "--json", "cut.dat"}, "", dir.path);
    EXPECT_EQ(text.status, 2);
    EXPECT_NE(text.out.find("\n  reason: unexpected end of "), std::string::npos) << text.out;
    EXPECT_EQ(json.status, 2);
    EXPECT_NE(json.out.find("\"reason\": \"unexpected end of "), std::string::npos) << json.out;
    const command_result as_is = run_command({"-l", "--no-decompress", "b.dat"}, "", dir.path);
    EXPECT_NE(as_is.out.find("Input: b.dat, " + std::to_string(whole.size()) + " bytes\n"),
              std::string::npos)
        << as_is.out;
  }
}

// After the last stream: the zero bytes the format's own tool accepts convert as if absent;
// anything else fails, once every line of the streams is written, with where it starts.
TEST(CompressedInput, ConvertsEveryDecodedLineBeforeBytesAfterTheStreams) {
  using enum compression_kind;
  const std::string plain = example_input().bytes;
  const command_result expected = convert_file(plain);
  ASSERT_EQ(expected.status, 0) << expected.err;
  // The count of "Finished converting file, wrote N lines.", the last line of the notes.
  const std::string lines =
      expected.out.substr(expected.out.rfind("wrote ") + 6,
                          expected.out.rfind(" lines") - expected.out.rfind("wrote ") - 6);
  const std::string zeros(512, '\0'), junk = "neither a stream nor padding\n";
  for (const compression_kind kind : {gzip, xz, zstd}) {
    if (!compression_supported(kind)) continue;
    SCOPED_TRACE(compression_name(kind));
    const std::string whole = compress(kind, plain);
    const struct {
      std::string input;
      int64_t junk_at;  // -1: accepted
    } cases[] = {
        {whole + zeros, kind == zstd ? static_cast<int64_t>(whole.size()) : -1},
        {whole + junk, static_cast<int64_t>(whole.size())},
        {whole + zeros + junk, kind == zstd ? static_cast<int64_t>(whole.size())
                                            : static_cast<int64_t>(whole.size() + zeros.size())},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.input.size()) + " bytes");
      const command_result run = convert_file(c.input);
      EXPECT_TRUE(run.output == expected.output);
      if (c.junk_at < 0) {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected.out);
        continue;
      }
      EXPECT_EQ(run.status, 2);
      EXPECT_NE(run.err.find(std::string(": unexpected data after the end of the ") +
                             compression_name(kind) + " stream, at byte " +
                             std::to_string(c.junk_at) + " of the compressed input\n"),
                std::string::npos)
          << run.err;
      EXPECT_TRUE(run.err.ends_with("File conversion failed after writing " + lines + " lines.\n"))
          << run.err;
    }
  }
}

// Input that starts like a compressed stream but has no valid header is plain input.
TEST(CompressedInput, ReadsBytesWithoutAWholeHeaderAsPlain) {
  // "\xFD" and "7zXZ" apart: "\xFD7" would be one escape.
  const char* starts[] = {"\x1F\x8B\x08 not a member\n", "\x1F\x8B",
                          ("\xFD"
                           "7zXZ"),
                          "(\xB5/\xFD(oops\n"};
  for (const char* start : starts) {
    SCOPED_TRACE(start);
    const std::string input = std::string(start) + "\nplain text after it\n";
    const command_result run = convert_file(input);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.output == input);
  }
}

}  // namespace
}  // namespace asciify::test_support
