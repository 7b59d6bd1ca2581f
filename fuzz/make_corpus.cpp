// Writes the seed corpus of the fuzz target into the directory given as its argument: the
// bundled example and small inputs that each exercise one kind of record or one feature, in
// both byte orders, valid ones and a few that fail.
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/encoder.h"
#include "tests/support/example_input.h"

namespace {

using asciify::testing::encoder;
using asciify::testing::order;

struct seed {
  std::string name;
  std::string bytes;
};

// Seeds whose records are encoded in the byte order `numbers`.
std::vector<seed> seeds_in(order numbers) {
  const auto section = [numbers] { return encoder{}.line("head").start_binary(numbers); };
  std::vector<seed> seeds = {
      {"text_records", section()
                           .text_record("plain")
                           .text_record("*STAR TEXT")
                           .text_record("")
                           .end_binary()
                           .line("tail")
                           .bytes},
      {"cached_format", section()
                            .define(50, {0x0A, 0x2A, 0x54, 0x74})
                            .byte(50)
                            .i32(-7)
                            .f32(1.5f)
                            .i64(1234567890123LL)
                            .f64(-2.5e-9)
                            .byte(50)
                            .i32(1)
                            .f32(-0.0f)
                            .i64(-1)
                            .f64(1e300)
                            .bytes},
      {"cached_strings", section()
                             .define(51, {0x88, 0x80, 0xDF, 0x94})
                             .byte(51)
                             .str("ab")
                             .str("open ended")
                             .str("another")
                             .chars("exactly twenty chars")
                             .bytes},
      {"free_format", section()
                          .define(52, {0x0A, 0x2A, 0x1F, 0xFF})
                          .byte(52)
                          .i32(3)
                          .f32(2.0f)
                          .i32(-4)
                          .str("x,y")
                          .define(53, {0x3F, 0x7F, 0x5F})
                          .byte(53)
                          .f32(0.1f)
                          .f64(1.0 / 3.0)
                          .i64(42)
                          .bytes},
      {"zero_fill", section()
                        .define(54, {0x0A, 0x2A, 0x88, 0x54})
                        .byte(54)
                        .i32(5)
                        .marker4()
                        .define(55, {0x54, 0x74, 0x0A})
                        .byte(55)
                        .i64(9)
                        .marker8()
                        .byte(15)
                        .i32(1)
                        .i32(2)
                        .marker4()
                        .byte(11)
                        .marker4()
                        .bytes},
      {"reset_and_redefine", section()
                                 .define(60, {0x08})
                                 .byte(60)
                                 .i32(1)
                                 .reset(60)
                                 .define(60, {0x14, 0x14})
                                 .byte(60)
                                 .i32(2)
                                 .i32(3)
                                 .reset(255)
                                 .bytes},
      {"lsf4", section()
                   .lsf4({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
                   .i32(1)
                   .i32(2)
                   .i32(3)
                   .i64(4)
                   .i64(5)
                   .f32(6)
                   .f32(7)
                   .f32(8)
                   .f64(9)
                   .f64(10)
                   .f64(11)
                   .str("a")
                   .str("b")
                   .str("c")
                   .str("d")
                   .byte(1)
                   .byte(0x05)
                   .bytes},
      {"lsf8",
       section().lsf8({0x0A, 0x80, 0x1F, 0x54}).i32(1).str("str").i32(2).i64(3).lsf8({}).bytes},
      {"hardwired_defaults", section()
                                 .byte(10)
                                 .i32(1)
                                 .f32(0.5f)
                                 .f32(1.5f)
                                 .f32(2.5f)
                                 .byte(11)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .i32(6)
                                 .byte(12)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .byte(13)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .i32(6)
                                 .i32(7)
                                 .i32(8)
                                 .byte(14)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .i32(6)
                                 .byte(15)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .i32(6)
                                 .i32(7)
                                 .i32(8)
                                 .byte(16)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .byte(17)
                                 .i32(1)
                                 .i32(2)
                                 .i32(3)
                                 .i32(4)
                                 .i32(5)
                                 .i32(6)
                                 .i32(7)
                                 .i32(8)
                                 .bytes},
      {"long_fsf4", section()
                        .fsf4(36, {1, 1, 1, 7, 7})
                        .i32(1)
                        .i32(2)
                        .i32(3)
                        .f32(0.5f)
                        .f32(0.75f)
                        .fsf4(30, {2, 9, 9, 9})
                        .i32(4)
                        .f64(1)
                        .f64(2)
                        .f64(3)
                        .bytes},
      {"long_fsf8", section()
                        .fsf8(37, {8, 8, 8, 8, 8, 8, 0x0A, 0x6A})
                        .i32(1)
                        .i32(2)
                        .i32(3)
                        .i32(4)
                        .i32(5)
                        .i32(6)
                        .i32(7)
                        .f64(0.125)
                        .fsf8(36, {0x88, 0x80, 0x84, 0x08, 0x1F})
                        .str("abc")
                        .str("open")
                        .chars("wxyz")
                        .i32(1)
                        .i32(2)
                        .bytes},
      {"long_cached", section()
                          .define(90, {0x0A, 0x70, 0x70, 0x70})
                          .byte(30)
                          .byte(90)
                          .i32(3)
                          .f64(1.0)
                          .f64(2.0)
                          .f64(-3.0)
                          .byte(31)
                          .byte(90)
                          .i32(1)
                          .i32(2)
                          .i32(3)
                          .i32(4)
                          .i32(5)
                          .i32(6)
                          .bytes},
      {"suspend_resume", section()
                             .define(70, {0x08})
                             .byte(70)
                             .i32(1)
                             .suspend_binary()
                             .line("ascii inside")
                             .line("*NOT A MARKER")
                             .resume_binary()
                             .byte(70)
                             .i32(2)
                             .end_binary()
                             .resume_binary()
                             .byte(70)
                             .i32(3)
                             .bytes},
      {"two_sections", section()
                           .define(71, {0x08})
                           .byte(71)
                           .i32(1)
                           .end_binary()
                           .start_binary(numbers == order::native ? order::reversed : order::native)
                           .define(71, {0x0A})
                           .byte(71)
                           .i32(2)
                           .end_binary()
                           .line("end")
                           .bytes},
      {"markers_without_zero", section()
                                   .byte(3)
                                   .raw("*SUSPEND_BINARY")
                                   .line("back")
                                   .resume_binary()
                                   .byte(3)
                                   .raw("*END_BINARY")
                                   .bytes},
      {"wide_values", section()
                          .define(72, {0x02, 0x22, 0x42, 0x62, 0x00, 0x20})
                          .byte(72)
                          .i32(123456)
                          .f32(1e30f)
                          .i64(-99999)
                          .f64(-1e-300)
                          .i32(5)
                          .f32(2.0f)
                          .bytes},
      {"bad_reserved_code", section().text_record("before").byte(7).bytes},
      {"bad_text_record", section().byte(3).raw("no terminator").bytes},
      {"bad_header", encoder{}.line("*START_BINARY").line("  1  0  01 00 00 00").bytes},
  };
  return seeds;
}

std::vector<seed> all_seeds() {
  std::vector<seed> seeds = {
      {"example", asciify::testing::example_input().bytes},
      {"ascii_only", "alpha\r\nbeta\n\n*STAR LINE\nno end of line"},
      {"long_ascii_line", "a\n" + std::string(1500, 'x') + "\n*START_BINAR\n"},
      {"empty", ""},
  };
  for (const order numbers : {order::native, order::reversed}) {
    const std::string suffix = numbers == order::native ? "_native" : "_reversed";
    for (seed& one : seeds_in(numbers)) {
      seeds.push_back({one.name + suffix, std::move(one.bytes)});
    }
  }
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_corpus DIRECTORY\n";
    return 1;
  }
  for (const seed& one : all_seeds()) {
    std::ofstream out(std::string(argv[1]) + "/" + one.name, std::ios::binary);
    out.write(one.bytes.data(), static_cast<std::streamsize>(one.bytes.size()));
    if (!out) {
      std::cerr << "make_corpus: cannot write " << one.name << "\n";
      return 1;
    }
  }
  return 0;
}
