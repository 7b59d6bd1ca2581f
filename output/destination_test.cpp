// What the system tells about files and streams, and the destination's writes and cuts, on real
// files in a folder of the test's own.
#include "output/destination.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/support/test_streams.h"

namespace asciify {
namespace {

using test_support::make_hard_link;
using test_support::read_file;
using test_support::scratch_dir;

TEST(FileIdentity, TellsFilesFoldersAndStreamsApart) {
  scratch_dir folder;
  folder.write("a.dat", "twelve bytes");
  folder.write("Größe.dat", "x");
  folder.write("b.dat", "twelve bytes");
  make_hard_link(folder.file("a.dat"), folder.file("link.dat"));
  std::filesystem::create_directory(platform::path_from_utf8(folder.file("sub")));

  const file_identity a = identity_of_path(folder.file("a.dat").c_str());
  EXPECT_TRUE(a.exists && a.regular && !a.directory && !a.stream);
  EXPECT_EQ(a.size, 12);
  EXPECT_EQ(identity_of_path(folder.file("Größe.dat").c_str()).size, 1);
  const file_identity sub = identity_of_path(folder.file("sub").c_str());
  EXPECT_TRUE(sub.exists && sub.directory && !sub.regular);
  EXPECT_FALSE(identity_of_path(folder.file("missing.dat").c_str()).exists);
  const file_identity null_device = identity_of_path(test_support::kNullDevice);
  EXPECT_TRUE(null_device.exists && null_device.stream && !null_device.regular);

  // The same stored file by another name, or opened; never a stream or what does not exist.
  const struct {
    file_identity first, second;
    bool same;
  } pairs[] = {
      {a, identity_of_path(folder.file("link.dat").c_str()), true},
      {a, identity_of_path((folder.file("sub") + "/../a.dat").c_str()), true},
      {a, identity_of_path(folder.file("b.dat").c_str()), false},
      {a, sub, false},
      {null_device, null_device, false},
      {identity_of_path(folder.file("missing.dat").c_str()),
       identity_of_path(folder.file("missing.dat").c_str()), false},
  };
  for (size_t i = 0; i < std::size(pairs); ++i) {
    EXPECT_EQ(same_stored_file(pairs[i].first, pairs[i].second), pairs[i].same) << "pair " << i;
  }
  const int descriptor = platform::open_file(folder.file("a.dat").c_str(), O_RDONLY);
  ASSERT_GE(descriptor, 0);
  EXPECT_TRUE(same_stored_file(identity_of_descriptor(descriptor), a));
  platform::close_file(descriptor);
}

// A destination is created or emptied; a line that reached a regular file in part is cut off
// again, and what follows lands after the lines kept.
TEST(Destination, WritesAndCutsARegularFile) {
  scratch_dir folder;
  folder.write("Ausgabe-ü.txt", "old contents that are longer\n");
  destination target;
  ASSERT_EQ(open_destination(folder.file("Ausgabe-ü.txt").c_str(), &target), 0);
  EXPECT_TRUE(target.owned && target.regular && !target.terminal);
  const output_sink sink = destination_sink(target);
  int error = 0;
  EXPECT_EQ(sink.write(sink.context, "kept\ncut", 8, &error), 8u);
  EXPECT_TRUE(sink.cut(sink.context, 3));
  EXPECT_EQ(sink.write(sink.context, "next\n", 5, &error), 5u);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(close_destination(target), 0);
  EXPECT_EQ(read_file(folder.file("Ausgabe-ü.txt")), "kept\nnext\n");

  EXPECT_EQ(open_destination(folder.file("no-folder/out.txt").c_str(), &target), ENOENT);
}

TEST(Destination, ADeviceIsNotCut) {
  destination target;
  ASSERT_EQ(open_destination(test_support::kNullDevice, &target), 0);
  EXPECT_FALSE(target.regular || target.terminal);
  const output_sink sink = destination_sink(target);
  int error = 0;
  EXPECT_EQ(sink.write(sink.context, "gone\n", 5, &error), 5u);
  EXPECT_FALSE(sink.cut(sink.context, 2));
  EXPECT_EQ(close_destination(target), 0);
}

}  // namespace
}  // namespace asciify
