// Compressed inputs through the built executable: gzip, xz and zstd variants of the example,
// whole, in pieces and through standard input, convert to the bytes of the plain one, also in
// a listing and into a folder; a cut or damaged one fails with the reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/run_asciify.h"
#include "tests/support/compression.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"

namespace asciify::test_support {
namespace {

const compression_kind kKinds[] = {compression_kind::gzip, compression_kind::xz,
                                   compression_kind::zstd};

TEST(CompressedInput, ConvertsToTheBytesOfThePlainInput) {
  const std::string plain = example_input().bytes;
  const command_result expected = convert_file(plain);
  ASSERT_EQ(expected.status, 0);
  const size_t half = plain.size() / 2;
  for (const compression_kind kind : kKinds) {
    const std::string name = compression_name(kind);
    if (!compression_supported(kind)) continue;  // this build cannot read it
    // One stream; and two streams one after the other, read as one.
    const std::string whole = compress(kind, plain);
    const std::string pieces =
        compress(kind, plain.substr(0, half)) + compress(kind, plain.substr(half));
    for (const std::string* input : {&whole, &pieces}) {
      const command_result run = convert_file(*input);
      EXPECT_EQ(run.status, 0) << name << run.err;
      EXPECT_TRUE(run.output == expected.output) << name;
      EXPECT_EQ(run.out, expected.out) << name;
    }
    scratch_dir dir;
    write_file(dir.file("in.dat.x"), whole);
    const command_result piped = run_command({"-", "-"}, dir.file("in.dat.x"), dir.path);
    EXPECT_EQ(piped.status, 0) << name;
    EXPECT_TRUE(piped.out == expected.output) << name;
  }
}

TEST(CompressedInput, ListingAndFolderTakeTheDecompressedBytes) {
  if (!compression_supported(compression_kind::gzip)) GTEST_SKIP() << "built without gzip";
  const std::string plain = example_input().bytes;
  scratch_dir dir;
  write_file(dir.file("a.dat"), plain);
  write_file(dir.file("b.dat.gz"), compress(compression_kind::gzip, plain));
  const command_result plain_list = run_command({"-l", "--json", "a.dat"}, "", dir.path);
  const command_result gzip_list = run_command({"-l", "--json", "b.dat.gz"}, "", dir.path);
  // The same listing, but for the name, the size of the file and its compression.
  const auto after_bytes_read = [](const std::string& json) {
    return json.substr(json.find("\"bytes_read\""));
  };
  EXPECT_EQ(after_bytes_read(gzip_list.out), after_bytes_read(plain_list.out));
  EXPECT_NE(gzip_list.out.find("\"compression\": \"gzip\""), std::string::npos) << gzip_list.out;
  const command_result folder = run_command({"-q", "-d", "out", "a.dat", "b.dat.gz"}, "", dir.path);
  EXPECT_EQ(folder.status, 0) << folder.err;
  EXPECT_TRUE(read_file(dir.file("out/a.txt")) == read_file(dir.file("out/b.txt")));
  EXPECT_FALSE(read_file(dir.file("out/b.txt")).empty());
}

// A compressed input cut short, or followed by bytes that are no stream, fails with the reason;
// a damaged one fails too. None ends as if it were whole.
TEST(CompressedInput, CutOrDamagedFailsWithItsReason) {
  const std::string plain = example_input().bytes;
  for (const compression_kind kind : kKinds) {
    const std::string name = compression_name(kind);
    if (!compression_supported(kind)) continue;
    const std::string whole = compress(kind, plain);
    std::vector<std::string> broken;
    for (const size_t cut : {whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
      broken.push_back(whole.substr(0, cut));
    }
    broken.push_back(whole + "tail");
    for (const std::string& input : broken) {
      const command_result run = convert_file(input);
      const std::string trace = name + " of " + std::to_string(input.size()) + " bytes";
      EXPECT_EQ(run.status, 2) << trace;
      const std::string first = run.err.substr(0, run.err.find('\n') + 1);
      EXPECT_TRUE(first.starts_with("Failed to read input file ")) << trace << run.err;
      EXPECT_NE(run.err.find("\nasciify: "), std::string::npos) << trace << run.err;
      EXPECT_TRUE(run.err.ends_with("lines.\n")) << trace << run.err;
    }
    // Damaged data may reach the conversion before the stream's check fails, as with any
    // decompressor: the run fails either way.
    std::string damaged = whole;
    damaged[damaged.size() / 2] ^= 0x55;
    const command_result run = convert_file(damaged);
    EXPECT_EQ(run.status, 2) << name << run.err;
    EXPECT_TRUE(run.err.ends_with("lines.\n")) << name << run.err;
  }
}

}  // namespace
}  // namespace asciify::test_support
