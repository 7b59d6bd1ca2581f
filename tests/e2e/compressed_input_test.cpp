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
  ASSERT_EQ(expected.status, 0);
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
    EXPECT_EQ(piped.status, 0);
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
  }
}

}  // namespace
}  // namespace asciify::test_support
