#include "tests/support/example_input.h"

namespace asciify::test_support {
namespace {

void add_rows_of_reals(encoder& file, int first_id, int count) {
  for (int id = first_id; id < first_id + count; ++id) {
    file.byte(10).i32(id).f32(0.25f * id).f32(-1.5f * id + 0.125f).f32(100.0f / id);
  }
}

}  // namespace

encoder example_input() {
  encoder file;
  file.line("** Example data: a small set of tables")
      .line("** Bulk data below are stored in binary sections.")
      .line("*TITLE")
      .line("Sample set, values in arbitrary units")
      .line("*TABLE, NAME=alpha");

  // First section: this machine's byte order.
  file.start_binary(order::native);
  add_rows_of_reals(file, 1, 6);
  // An integer and three 8-byte reals, through a cached format used as a 'long' format.
  file.define(50, {0x0A, 0x74, 0x74, 0x74});
  file.byte(30).byte(50).i32(7).f64(1.0 / 3.0).f64(-2.0e-7).f64(12345.678901);
  file.byte(30).byte(50).i32(8).f64(1.5e23).f64(0.1).f64(-42.0);
  file.text_record("*ROWS, NAME=beta, KIND=R8");
  file.byte(11).i32s({1, 1, 2, 3, 4, 5});
  file.byte(12).i32s({2, 3, 4, 6});
  file.byte(13).i32s({3, 1, 2, 3, 4, 5, 6, 7});
  file.byte(14).i32s({4, 1, 2, 3, 5, 6});
  file.byte(15).i32s({5, 2, 4, 6, 1, 3, 5, 7});
  file.byte(16).i32s({6, 7, 8, 1, 2});
  file.byte(17).i32s({7, 1, 2, 3, 4, 5, 6, 7});
  file.byte(15).i32(8).i32(4).marker4();  // the rest of the line is zeros
  // Rows of ten 8-column integers in a cached format.
  file.define(60, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
  file.byte(60).i32s({9, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  file.byte(60).i32(10).i32(2).marker4();
  // 'long' layouts with packed and plain formats.
  file.fsf4(36, {2, 2, 2, 9, 9}).i32s({11, 12, 13}).f64(0.5).f64(1.0e-12);
  file.fsf8(33, {0x88, 8, 8, 8, 8, 8, 0x0A, 0x0A}).str("GROUP").i32s({1, 2, 3, 4, 5, 6, 7});
  file.suspend_binary();

  file.line("*LIST, NAME=gamma").line("*VALUES");
  file.resume_binary();
  // Lines mixing integers, reals and strings in 10-column fields.
  file.define(70, {0x8A, 0x2A, 0x2A, 0x0A});
  file.byte(70).str("FIRST").f32(12500.0f).f32(0.75f).i32(1);
  file.byte(70).str("SECOND").f32(640.0f).f32(0.125f).i32(2);
  // Free format, with strings that contain commas.
  file.define(71, {0xFF, 0x1F, 0x3F, 0x7F});
  file.byte(71).str("left, right").i32(4096).f32(3.5e-9f).f64(512.5);
  // Lines that carry their own formats.
  file.lsf4({2, 6, 11, 13}).i32(3).f32(-0.05f).f64(1.0 / 7.0).chars("OPEN").byte(0);
  file.lsf8({0x80, 0x1F, 0x54}).str("round").i32(2).i64(-9000000000LL);
  file.reset(70);
  file.define(70, {0x14});  // the code now means something else
  file.byte(70).i32(2147483647);
  file.end_binary();

  // Second section: written on a machine of the opposite byte order.
  file.line("*TABLE, NAME=delta");
  file.start_binary(order::reversed);
  add_rows_of_reals(file, 20, 3);
  file.byte(11).i32s({20, 20, 21, 22, 21, 22});
  file.end_binary();
  file.line("*END SET");
  return file;
}

}  // namespace asciify::test_support
