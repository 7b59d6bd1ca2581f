// The line renderer on data areas of its own; whole lines are checked end to end in
// tests/e2e/conversions_test.cpp.
#include "text/line_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/random_source.h"

namespace asciify {
namespace {

// The bytes of a value in this machine's byte order.
template <typename T>
std::string bytes_of(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// A queued line is rendered in place behind the lines before it: its text, and every byte
// stored while it is written, must stay within the measured bound and the one byte of room
// after it. Random formats of every field format byte over random data (with zero-fill
// markers and zero bytes in strings), in both byte orders.
#ifdef ASCIIFY_EMULATED
constexpr int kRounds = 4000;  // a sample: under an emulator the full set takes a minute
#else
constexpr int kRounds = 20000;
#endif

// A line of a plain format whose data hold no marker, written at once: its text, its stars
// and the end of its data are those of a line of any format. Returns whether the format is
// plain (and so compared).
bool expect_plain_rendering_as_any(const line_settings& settings, const std::vector<uint8_t>& bytes,
                                   const std::vector<uint8_t>& data, const std::string& text,
                                   int round) {
  format_entry format{static_cast<uint8_t>(bytes.size()), bytes.data()};
  summarize_format(format);
  if (format.plain_size < 0) return false;
  std::vector<char> any(kLineBufferSize), plain(kLineBufferSize);
  rendered_text expected;
  EXPECT_EQ(render_formatted_line(settings, format, data.data(), 0,
                                  static_cast<int32_t>(data.size()), any.data(), &expected),
            layout_result::complete)
      << "round " << round;
  const rendered_text got = render_plain_line(settings, format, data.data(), plain.data());
  EXPECT_EQ(std::string(plain.data(), got.length), text) << "round " << round;
  EXPECT_EQ(got.star_count, expected.star_count) << "round " << round;
  EXPECT_EQ(got.first_star_width, expected.first_star_width) << "round " << round;
  EXPECT_EQ(got.end, expected.end) << "round " << round;
  return true;
}

TEST(LineWriter, RenderedTextStaysWithinTheMeasuredBound) {
  test_support::random_source random{11};
  const line_settings orders[2] = {{0x80000000u, 0x8000000000000000ull, 0},
                                   {0x00000080u, 0x0000000000000080ull, 1}};
  int32_t measured = 0, only_numbers = 0, plain = 0, exact = 0;
  for (int round = 0; round < kRounds; ++round) {
    const line_settings& settings = orders[round % 2];
    std::vector<uint8_t> format(1 + random.below(12)), data(400);
    for (uint8_t& byte : format) byte = static_cast<uint8_t>(random.below(256));
    for (uint8_t& byte : data) {
      const uint64_t pick = random.below(10);
      byte = pick == 0 ? 0 : pick == 1 ? 0x80 : static_cast<uint8_t>(random.below(256));
    }
    const auto count = static_cast<int32_t>(format.size());
    line_measure measure{};
    if (!measure_line(settings, format.data(), count, data.data(), 0, 400, &measure)) continue;
    ++measured;
    exact += measure.exact ? 1 : 0;
    const int32_t bound = measure.text_bound;
    // Rendered as queued; lines of numbers also the long way, which must give the same text.
    std::string texts[2];
    for (const bool numbers : {false, true}) {
      if (numbers && !measure.only_numbers) continue;
      std::vector<char> text(kLineBufferSize, '\x5A');
      int32_t star = 0;
      const int32_t length = render_line(settings, format.data(), count, data.data(), measure.end,
                                         numbers, text.data(), &star);
      ASSERT_LE(length, bound) << "round " << round;
      // In fixed columns the bound is exact: readers take it as the line's size.
      if (measure.exact) {
        ASSERT_EQ(length, bound) << "round " << round;
      }
      ASSERT_EQ(text[length - 1], '\n') << "round " << round;
      ASSERT_TRUE(
          std::all_of(text.begin() + bound + 1, text.end(), [](char c) { return c == 0x5A; }))
          << "round " << round << ": a byte past the bound " << bound << " was stored";
      texts[numbers ? 1 : 0].assign(text.data(), length);
    }
    if (measure.only_numbers) {
      ++only_numbers;
      ASSERT_EQ(texts[1], texts[0]) << "round " << round;
      if (expect_plain_rendering_as_any(settings, format, data, texts[0], round)) ++plain;
    }
  }
  EXPECT_GT(measured, kRounds / 4);
  EXPECT_GT(exact, measured / 4);
  EXPECT_LT(exact, measured);  // lines in free format are measured too
  EXPECT_GT(only_numbers, kRounds / 40);
  EXPECT_GT(plain, kRounds / 80);
}

// A free-format mark after the first field puts the whole line in free format, but the fields
// before it are checked in fixed columns as well: an open-ended string too long for the line
// in either layout fails it. (The columns of a 30-wide integer leave less room than " 7,"; a
// 1-wide integer of eleven characters leaves more.)
TEST(LineWriter, FieldsBeforeALateFreeFormatMarkAreCheckedInColumnsToo) {
  using enum layout_result;
  const struct {
    int32_t first_width, value, characters;  // the last: of the open-ended string
    layout_result rendered, measured;
  } cases[] = {
      {30, 7, 224, complete, needs_rendering},
      {30, 7, 225, open_ended_too_long, open_ended_too_long},
      {1, -2147483647, 241, complete, needs_rendering},
      {1, -2147483647, 242, open_ended_too_long, needs_rendering},
  };
  const line_settings settings{0x80000000u, 0x8000000000000000ull, 0};
  for (const auto& c : cases) {
    const uint8_t bytes[] = {static_cast<uint8_t>(c.first_width), 0x80, 0x1F};
    format_entry format{3, bytes};
    summarize_format(format);
    const std::string data =
        bytes_of(c.value) + std::string(c.characters, 'x') + '\0' + bytes_of(int32_t{1});
    const auto* start = reinterpret_cast<const uint8_t*>(data.data());
    const auto limit = static_cast<int32_t>(data.size());
    std::vector<char> text(kLineBufferSize);
    rendered_text rendered;
    EXPECT_EQ(render_formatted_line(settings, format, start, 0, limit, text.data(), &rendered),
              c.rendered)
        << c.characters;
    if (c.rendered == complete) {
      EXPECT_EQ(std::string(text.data(), rendered.length),
                " " + std::to_string(c.value) + "," + std::string(c.characters, 'x') + ", 1\n");
      EXPECT_EQ(rendered.end, limit);
    }
    line_measure measure{};
    EXPECT_EQ(measure_formatted_line(settings, format, start, 0, limit, &measure), c.measured)
        << c.characters;
  }
}

}  // namespace
}  // namespace asciify
