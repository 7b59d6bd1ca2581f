#include "asciify/packer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/example_input.h"
#include "tests/support/random_input.h"
#include "tests/support/random_source.h"
#include "tests/support/strict_reader.h"
#include "text/field_writers.h"

namespace asciify {
namespace {

using test_support::convert_in_memory;
using test_support::make_random_input;

constexpr byte_order kOrders[] = {byte_order::little, byte_order::big};

// What is wrong with packing `text` in the byte order `order`.
std::string packing_fault(const std::string& text, byte_order order = native_byte_order()) {
  return test_support::packing_fault(text, pack_text(text, {.order = order}));
}

// Random texts: lines of numbers as the writers give them (in columns, sometimes with a name
// among them or zeros at the end, or in free format), lines of odd bytes, and empty, long and
// marker-like lines.
struct text_maker {
  test_support::random_source random;

  template <typename Real>
  Real real() {
    const double edges[] = {0.0, 1e-45,  1e-38, 3.4e38,      1e-300, DBL_MAX, DBL_MIN,
                            0.1, 999.96, 1e7,   123456789.0, NAN,    INFINITY};
    if (random.percent(20)) return static_cast<Real>(edges[random.below(13)] * random.sign());
    if (random.percent(50)) {
      return static_cast<Real>(static_cast<double>(random.between(-9999999, 9999999)) /
                               std::pow(10.0, static_cast<double>(random.between(0, 9))));
    }
    return std::bit_cast<Real>(
        static_cast<std::conditional_t<sizeof(Real) == 4, uint32_t, uint64_t>>(random.next()));
  }

  std::string number(bool free) {
    const auto width = static_cast<int32_t>(free ? random.between(7, 31) : random.between(1, 30));
    char text[64];
    int32_t position = 0;
    const int64_t kind = random.between(0, 5);
    if (kind == 0) {
      const int64_t edges[] = {0, 1, -1, INT32_MAX, INT32_MIN, INT64_MAX, INT64_MIN + 1};
      const int64_t v = random.percent(30)
                            ? edges[random.below(7)]
                            : static_cast<int64_t>(random.next()) >> random.between(0, 63);
      asciify::format_int64_field(v, width, free, text, &position, 0);  // the 4-byte text too
    } else if (kind <= 2) {
      asciify::format_float_field(real<float>(), width, free, text, &position, 0);
    } else {
      asciify::format_double_field(real<double>(), width, free, text, &position, 0);
    }
    return std::string(text, static_cast<size_t>(free ? position : width));
  }

  std::string line() {
    std::string line;
    const int64_t kind = random.between(0, 9);
    const bool free = random.percent(25);
    for (int64_t n = kind < 6 ? random.between(1, 12) : 0; n > 0; --n) {
      if (free && !line.empty()) line += ',';
      if (random.percent(10)) {
        line += free ? "name" : "NAME      ";
      } else if (!free && n <= 2 && random.percent(40)) {
        line += random.percent(50) ? "       0" : "     0.0";
      } else {
        line += number(free);
      }
    }
    if (kind == 6 || kind == 7) {
      const std::string long_line(random.between(200, 700), 'x');
      const std::string wide = "*ROWS" + std::string(300, ' ') + "1";
      const std::string lines[] = {"$", "*TABLE, NAME=alpha", "*", "", "\r", "$ note", long_line,
                                   wide};
      line = lines[random.below(8)];
    }
    const char alphabet[] = {'*', '$', ' ', ',', '-', '.', '0', '7', 'E', '\r', '\0', 'x', '\t'};
    for (int64_t n = kind > 7 ? random.between(0, 20) : 0; n > 0; --n) {
      line += random.percent(80) ? alphabet[random.below(sizeof alphabet)]
                                 : static_cast<char>(random.below(256));
    }
    return line;
  }

  std::string text() {
    std::string text;
    for (int64_t n = random.between(0, 60); n > 0; --n) {
      text += line();
      if (n > 1 || random.percent(80)) text += random.percent(5) ? "\r\n" : "\n";
    }
    return text;
  }
};

TEST(Packer, RandomTextsComeBackExactly) {
  for (uint64_t seed = 1; seed <= 1500; ++seed) {
    const std::string text = text_maker{{seed}}.text();
    ASSERT_EQ(packing_fault(text, kOrders[seed % 2]), "") << "seed " << seed;
  }
}

// Random inputs with every kind of record: the conversion writes every numbered line where it
// belongs (a record that consumed a byte too many or too few would shift or garble what
// follows), and the packer gives the text back, as it does the example's (in about as many
// bytes as the example itself).
TEST(Packer, EveryEncodedTestInputComesBackExactly) {
  const std::string example_bytes = test_support::example_input().bytes;
  const std::string example = convert_in_memory(example_bytes).output;
  for (byte_order order : kOrders) ASSERT_EQ(packing_fault(example, order), "");
  EXPECT_LE(pack_text(example).bytes.size() * 100, example_bytes.size() * 105);
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const auto input = make_random_input(seed);
    const auto result = convert_in_memory(input.bytes);
    ASSERT_EQ(result.status, 0) << "seed " << seed << ": " << result.messages;
    ASSERT_EQ(result.lines_written, input.lines) << "seed " << seed;
    ASSERT_TRUE(result.output.ends_with('\n')) << "seed " << seed;
    std::istringstream text(result.output);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    ASSERT_EQ(static_cast<int64_t>(lines.size()), input.lines) << "seed " << seed;
    for (size_t i = 0; i < input.numbered_lines.size(); ++i) {
      ASSERT_EQ(lines[input.numbered_lines[i]], "#" + std::to_string(i)) << "seed " << seed;
    }
    for (byte_order order : kOrders) ASSERT_EQ(packing_fault(result.output, order), "") << seed;
  }
}

// More layouts than there are cached codes, each met twice, so that codes are reset before
// they are used again.
TEST(Packer, MoreLayoutsThanCodes) {
  std::string text;
  for (int layout = 0; layout < 300; ++layout) {
    const std::string line = std::string(size_t(layout % 20) + 1, ' ') + "1" +
                             std::string(size_t(layout / 20) + 1, ' ') + "2\n";
    text += line + line;
  }
  for (byte_order order : kOrders) EXPECT_EQ(packing_fault(text, order), "");
}

// Lines that begin with a marker text are packed as records or refused; lines that need the
// converter's extensions are noted, the first of them.
TEST(Packer, RefusedAndNotedLines) {
  struct row {
    std::string text;
    int64_t refused_line;  // 0: packed
    refusal why;
    int64_t extended_line = 0;
    extension extended_because = extension::none;
  } rows[] = {
      {"*START_BINARY\n", 0, refusal::none},
      {"a\n*END_BINARY and more\n*SUSPEND_BINARY\n", 0, refusal::none},
      {"$\n*RESUME_BINARY\n", 0, refusal::none},
      {std::string("1\n2\n*END_BINARY\0\n", 17), 3, refusal::zero_byte},
      {"*END_BINARY" + std::string(250, 'x') + "\n", 1, refusal::too_long},
      {"x\n*RESUME_BINARY", 2, refusal::no_end_of_line},
      {"*RESUME_BIN", 0, refusal::none, 1, extension::no_end_of_line},  // no marker
      {"a\n" + std::string(300, '7') + "\nb", 0, refusal::none, 2, extension::long_line},
      {"a\nb", 0, refusal::none, 2, extension::no_end_of_line},
      {std::string(255, 'y') + "\n", 0, refusal::none},  // 256 bytes with its end of line
  };
  for (const row& r : rows) {
    for (byte_order order : kOrders) {
      const pack_report report = pack_text(r.text, {.order = order}).report;
      EXPECT_EQ(report.refused_line, r.refused_line) << r.text;
      EXPECT_EQ(report.refused_because, r.why) << r.text;
      if (r.refused_line != 0) continue;
      EXPECT_EQ(report.extended_line, r.extended_line) << r.text;
      EXPECT_EQ(report.extended_because, r.extended_because) << r.text;
      EXPECT_EQ(packing_fault(r.text, order), "") << r.text;
    }
  }
}

// Free-format lines whose numbers fill their own widths carry the mark in their strings, of
// every length a string field takes.
TEST(Packer, FreeFormatLinesMarkedByTheirStrings) {
  for (size_t length : {0, 1, 95, 125, 126}) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "1.2345678," + std::string(length, 'q') + ",-2.5E-7\n";
    EXPECT_LT(pack_text(text).bytes.size(), text.size()) << length;
    EXPECT_EQ(packing_fault(text), "") << length;
  }
}

// Fed in pieces of any size, on one thread or two.
TEST(Packer, TheSameOutputWhateverThePiecesFed) {
  std::string text = text_maker{{7}}.text() + std::string(2000, 'z') + "\n";
  for (uint64_t seed = 8; text.size() < 300000; ++seed) text += text_maker{{seed}}.text() + "\n";
  const std::string whole = pack_text(text).bytes;
  EXPECT_EQ(packing_fault(text), "");
  for (size_t piece : {1, 2, 255, 256, 257, 4096, 1 << 20}) {
    std::string out;
    // A sink that takes at most 1000 bytes a write.
    auto append = [](void* context, const char* data, size_t size, int*) {
      const size_t taken = std::min<size_t>(size, 1000);
      static_cast<std::string*>(context)->append(data, taken);
      return taken;
    };
    packer_ptr p = make_packer({.second_thread = piece % 2 == 0}, {append, nullptr, nullptr, &out});
    for (size_t at = 0; at < text.size(); at += piece) {
      pack_bytes(*p, text.data() + at, std::min(piece, text.size() - at));
    }
    ASSERT_TRUE(finish_packing(*p));
    EXPECT_TRUE(out == whole) << "pieces of " << piece << " differ";
  }
}

// A failed write, or a failure to close the output, stops the packing with the sink's reason.
TEST(Packer, AFailedWriteStopsThePacking) {
  auto refuse_all = [](void*, const char*, size_t, int* error) {
    *error = ENOSPC;
    return size_t{0};
  };
  auto take_all = [](void*, const char*, size_t size, int*) { return size; };
  auto fail_to_close = [](void*) { return EIO; };
  const std::string text(1 << 20, '\n');
  const struct {
    byte_sink sink;
    int error;
  } rows[] = {{{refuse_all, nullptr, nullptr, nullptr}, ENOSPC},
              {{take_all, nullptr, fail_to_close, nullptr}, EIO}};
  for (const auto& r : rows) {
    packer_ptr p = make_packer({}, r.sink);
    pack_bytes(*p, text.data(), text.size());
    EXPECT_FALSE(finish_packing(*p));
    EXPECT_TRUE(packing_report(*p).write_failed);
    EXPECT_EQ(packing_report(*p).write_error, r.error);
  }
}

// Packing on two threads while the text comes in slowly, or the destination takes long over
// each write and may then fail: the waiting thread sleeps until the other goes on, and the
// output is the whole packing or stops with the sink's reason. (Also run under
// ThreadSanitizer.)
TEST(Packer, WaitsOutAStalledSideAndItsFailure) {
  std::string text;
  for (uint64_t seed = 20; text.size() < 200000; ++seed) text += text_maker{{seed}}.text() + "\n";
  const std::string whole = pack_text(text).bytes;
  struct slow_sink {
    std::string bytes;
    size_t capacity;
    int32_t pause_us;
  };
  auto write = [](void* context, const char* data, size_t size, int* error) {
    auto& sink = *static_cast<slow_sink*>(context);
    test_support::pause_for(sink.pause_us);
    const size_t taken = std::min({size, size_t{4096}, sink.capacity - sink.bytes.size()});
    sink.bytes.append(data, taken);
    if (taken == 0) *error = ENOSPC;
    return taken;
  };
  const struct {
    const char* name;
    int32_t input_pause_us, output_pause_us;
    size_t capacity;
  } rows[] = {{"the text stalls", 300, 0, SIZE_MAX},
              {"the output stalls", 0, 300, SIZE_MAX},
              {"the output stalls, then fills up", 0, 300, whole.size() / 2},
              {"the output fills up while the text stalls", 300, 0, whole.size() / 3}};
  for (const auto& r : rows) {
    slow_sink sink{"", r.capacity, r.output_pause_us};
    packer_ptr p = make_packer({.second_thread = true}, {write, nullptr, nullptr, &sink});
    for (size_t at = 0; at < text.size(); at += 4096) {
      test_support::pause_for(r.input_pause_us);
      pack_bytes(*p, text.data() + at, std::min<size_t>(4096, text.size() - at));
    }
    const bool fills_up = r.capacity != SIZE_MAX;
    EXPECT_EQ(finish_packing(*p), !fills_up) << r.name;
    EXPECT_EQ(packing_report(*p).write_error, fills_up ? ENOSPC : 0) << r.name;
    EXPECT_TRUE(fills_up ? whole.starts_with(sink.bytes) : sink.bytes == whole) << r.name;
  }
}

}  // namespace
}  // namespace asciify
