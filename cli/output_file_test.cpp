// The destination's writes and cuts, on a real file in a folder of the test's own and on the
// null device, and a file written beside its name.
#include "cli/output_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "tests/support/test_streams.h"

namespace asciify::cli {
namespace {

using test_support::kNullDevice;
using test_support::scratch_dir;

// A destination is created or emptied; a line that reached a regular file in part is cut off
// again, and what follows lands after the lines kept. A device is not cut.
TEST(Destination, WritesAndCutsARegularFileButNotADevice) {
  scratch_dir folder;
  const std::string file = folder.write("Ausgabe-ü.txt", "old contents that are longer\n");
  for (const std::string& path : {file, std::string(kNullDevice)}) {
    SCOPED_TRACE(path);
    const bool regular = path == file;
    destination target;
    ASSERT_EQ(open_destination(path.c_str(), &target), 0);
    EXPECT_EQ(target.regular, regular);
    EXPECT_FALSE(target.terminal);
    EXPECT_TRUE(target.owned || !regular);
    const byte_sink sink = destination_sink(target);
    int error = 0;
    EXPECT_EQ(sink.write(sink.context, "kept\ncut", 8, &error), 8u);
    EXPECT_EQ(sink.cut(sink.context, 3), regular);
    EXPECT_EQ(sink.write(sink.context, "next\n", 5, &error), 5u);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(close_destination(target), 0);
  }
  EXPECT_EQ(test_support::read_file(file), "kept\nnext\n");
  destination target;
  EXPECT_EQ(open_destination(folder.file("no-folder/out.txt").c_str(), &target), ENOENT);
}

// Written beside its name, the new file replaces the old one only when kept; either way no
// temporary file stays behind.
TEST(Destination, BesideItsNameReplacesTheOldFileOnlyWhenKept) {
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    scratch_dir folder;
    const std::string file = folder.write("out.bin", "old\n");
    destination target;
    ASSERT_EQ(open_destination_beside(file.c_str(), ".part-", &target), 0);
    EXPECT_EQ(target.final_name, file);
    EXPECT_EQ(target.temporary_name, file + ".part-0");
    const byte_sink sink = destination_sink(target);
    int error = 0;
    EXPECT_EQ(sink.write(sink.context, "new\n", 4, &error), 4u);
    EXPECT_EQ(sink.close(sink.context), 0);
    EXPECT_EQ(test_support::read_file(file), "old\n");
    EXPECT_EQ(settle_destination(target, keep), 0);
    EXPECT_EQ(test_support::read_file(file), keep ? "new\n" : "old\n");
    EXPECT_FALSE(test_support::file_exists(file + ".part-0"));
  }
}

}  // namespace
}  // namespace asciify::cli
