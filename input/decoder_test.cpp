// Each decoder's steps on input that arrives one byte at a time: a stream
// reads as complete exactly where one ends, so a cut anywhere else is always found.
#include "input/decoder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/compression.h"

namespace asciify {
namespace {

struct stepped_run {
  std::string output;
  std::set<size_t> complete_at;  // input lengths after which the input may end
  bool failed = false;
};

// Feeds `input` to a decoder one byte at a time and, after each byte, takes all the output
// that byte allows in pieces of a few bytes: the state then is what an input that ended there
// would be left in.
stepped_run run_byte_by_byte(const decoder_ops& ops, const std::string& input) {
  stepped_run run;
  void* decoder = ops.create();
  uint8_t piece[7];
  for (size_t fed = 0; fed <= input.size() && !run.failed; ++fed) {
    const auto* next = reinterpret_cast<const uint8_t*>(input.data()) + (fed == 0 ? 0 : fed - 1);
    size_t available = fed == 0 ? 0 : 1;
    for (;;) {
      const decode_step step = ops.decode(decoder, next, available, piece, sizeof piece);
      run.output.append(reinterpret_cast<const char*>(piece), step.produced);
      next += step.consumed;
      available -= step.consumed;
      if (step.state == decode_state::failed) {
        run.failed = true;
        break;
      }
      if (step.consumed == 0 && step.produced == 0) {
        EXPECT_EQ(available, 0u) << "stalled with input left after " << fed << " bytes";
        if (step.state == decode_state::between_streams) run.complete_at.insert(fed);
        break;
      }
    }
  }
  ops.destroy(decoder);
  return run;
}

TEST(Decoders, ReadAsCompleteExactlyAtTheEndOfEachStream) {
  using enum compression_kind;
  const std::string a = "*TABLE, NAME=alpha\n  1,  2.5,  3.75\n*ROWS, NAME=beta\n";
  const std::string b = "gamma delta epsilon\n";
  for (const compression_kind kind : {gzip, xz, zstd}) {
    if (!compression_supported(kind)) continue;
    SCOPED_TRACE(compression_name(kind));
    // Between the streams xz may have stream padding, zstd a skippable frame.
    const std::string first = test_support::compress(kind, a);
    const std::string between = kind == xz     ? std::string(4, '\0')
                                : kind == zstd ? test_support::zstd_skippable_frame("beta", 3)
                                               : "";
    const std::string input = first + between + test_support::compress(kind, b);
    const std::set<size_t> expected = {first.size(), first.size() + between.size(), input.size()};
    const stepped_run run = run_byte_by_byte(*decoder_for(kind), input);
    EXPECT_FALSE(run.failed);
    EXPECT_EQ(run.output, a + b);
    EXPECT_EQ(run.complete_at, expected);
  }
}

}  // namespace
}  // namespace asciify
