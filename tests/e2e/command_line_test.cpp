// The command line, the files and the summary lines, run as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run_asciify.h"

namespace asciify::testing {
namespace {

const std::string kUsage = "Format is <input binary filename> <output ascii filename>\n";

TEST(CommandLine, FewerThanTwoArgumentsPrintUsage) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"in.dat"}}) {
    const command_result result = run_command(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, kUsage);
  }
}

TEST(CommandLine, InputThatCannotBeOpened) {
  scratch_dir dir;
  const std::string missing = dir.file("missing.dat");
  const command_result result = run_command({missing, dir.file("out.txt")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Couldn't open input binary file " + missing + " for reading.\n");
}

TEST(CommandLine, OutputThatCannotBeOpened) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a\n");
  const std::string unwritable = dir.file("no-such-dir/out.txt");
  const command_result result = run_command({dir.file("in.dat"), unwritable});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Couldn't open output ascii file " + unwritable + " for writing.\n");
}

TEST(CommandLine, FurtherArgumentsAreIgnored) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "one\ntwo\n");
  const command_result result =
      run_command({dir.file("in.dat"), dir.file("out.txt"), "extra", "more"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Finished converting file, wrote 2 lines.\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(read_file(dir.file("out.txt")), "one\ntwo\n");
}

TEST(CommandLine, ExistingOutputIsReplaced) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "new\n");
  write_file(dir.file("out.txt"), "old contents that are longer\n");
  const command_result result = run_command({dir.file("in.dat"), dir.file("out.txt")});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(dir.file("out.txt")), "new\n");
}

TEST(CommandLine, OutputOnFullDeviceFails) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a line\nanother line\n");
  const command_result result = run_command({dir.file("in.dat"), "/dev/full"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "Failed to write output file /dev/full.\n"
            "File conversion failed after writing 2 lines.\n");
}

TEST(CommandLine, LargeOutputOnFullDeviceFailsAtTheLineThatCouldNotBeWritten) {
  scratch_dir dir;
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "0123456789\n";
  write_file(dir.file("in.dat"), input);
  const command_result result = run_command({dir.file("in.dat"), "/dev/full"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("Failed to write "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("File conversion failed after writing "), std::string::npos);
  // One report of the failed write, then the summary: two lines.
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
}

TEST(CommandLine, InputThatCannotBeReadFails) {
  scratch_dir dir;
  const command_result result = run_command({dir.path, dir.file("out.txt")});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Failed to read input file " + dir.path +
                            ".\n"
                            "File conversion failed after writing 0 lines.\n");
  EXPECT_EQ(read_file(dir.file("out.txt")), "");
}

}  // namespace
}  // namespace asciify::testing
