// The bundled example converts to the committed text, line for line.
#include <gtest/gtest.h>

#include "tests/e2e/run_asciify.h"

namespace asciify::testing {
namespace {

TEST(Example, ConvertsToTheCommittedText) {
  scratch_dir dir;
  const command_result result = run_command({ASCIIFY_EXAMPLE_INPUT, dir.file("example.txt")});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n"
            "Finished converting file, wrote 41 lines.\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(read_file(dir.file("example.txt")),
            read_file(ASCIIFY_SOURCE_DIR "/examples/example.txt"));
}

}  // namespace
}  // namespace asciify::testing
