#include "programs/asciify/many_files.h"

#include <gtest/gtest.h>

namespace asciify {
namespace {

TEST(ManyFiles, TextFileIsNamedAfterTheInput) {
  const struct {
    const char* input;
    const char* text;
  } cases[] = {{"a.dat", "a.txt"},
               {"dir/a.dat", "a.txt"},
               {"a.dat.gz", "a.txt"},
               {"a.dat.xz", "a.txt"},
               {"a.dat.zst", "a.txt"},
               {"a.gz", "a.txt"},
               {"a", "a.txt"},
               {"a.b.c", "a.b.txt"},
               {".hidden", ".hidden.txt"},
               {"a.txt", "a.txt"},
               {"dir.v2/file", "file.txt"},
               {"X.BIN.GZ", "X.txt"},
               {"b.dat.Zst", "b.txt"},
               {"c.XZ", "c.txt"}};
  for (const auto& c : cases) EXPECT_EQ(text_file_name(c.input), c.text) << c.input;
}

}  // namespace
}  // namespace asciify
