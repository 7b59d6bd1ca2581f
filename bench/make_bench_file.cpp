// Writes a large, realistic converter input for the benchmarks: a text preamble, then binary
// sections made mostly of records of an integer and three reals and of rows of integers,
// with lines of mixed fields, line-specific formats, text-line records and
// suspended stretches in between. The same options and seed always give the same bytes.
//
//   make_bench_file [--size-mb N] [--seed S] [--reals 4|8] [--swapped] OUTPUT
//
// --reals 4 (the default) writes most reals as 4-byte reals (hard-wired code 10),
// --reals 8 most of them as 8-byte reals (code 30 with a cached format); --swapped writes the
// numbers in the reverse of this machine's byte order. Sizes are in units of 10^6 bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/encoder.h"
#include "tests/support/random_source.h"

namespace {

using asciify::test_support::encoder;
using asciify::test_support::order;

struct options {
  double size_mb = 200.0;
  uint64_t seed = 1;
  int reals = 4;
  bool swapped = false;
  const char* output = nullptr;
};

using asciify::test_support::random_source;

// A decimal value: uniform in [-1000, 1000] with 3 to 6 decimals.
double decimal_value(random_source& random) {
  const int decimals = static_cast<int>(random.between(3, 6));
  const int64_t scale = decimals == 3   ? 1000
                        : decimals == 4 ? 10000
                        : decimals == 5 ? 100000
                                        : 1000000;
  return static_cast<double>(random.between(-1000 * scale, 1000 * scale)) /
         static_cast<double>(scale);
}

// Format codes of the cached formats defined in every section.
constexpr uint8_t kLongRealsFormat = 50;  // an integer and three 8-byte reals, used by code 30
constexpr uint8_t kRowFormat = 60;        // ten 8-column integers
constexpr uint8_t kMixedFormat = 70;      // integers, reals and strings in 10 columns
constexpr uint8_t kNamedFormat = 71;      // a name and 8-byte reals

const char* const kNames[] = {"ALPHA", "BETA", "GAMMA", "DELTA", "EPSILON", "ZETA"};

struct generator {
  options opts;
  random_source random;
  encoder file;
  FILE* out;
  uint64_t written = 0;
  int64_t next_row = 1;
  int64_t next_integer_row = 1;

  uint64_t target() const { return static_cast<uint64_t>(opts.size_mb * 1e6); }
  uint64_t produced() const { return written + file.bytes.size(); }

  void flush() {
    if (file.bytes.empty()) return;
    if (std::fwrite(file.bytes.data(), 1, file.bytes.size(), out) != file.bytes.size()) {
      std::perror("make_bench_file: write");
      std::exit(1);
    }
    written += file.bytes.size();
    file.bytes.clear();
  }
  void flush_if_large() {
    if (file.bytes.size() >= (1u << 20)) flush();
  }

  int32_t row_reference() { return static_cast<int32_t>(random.between(1, next_row)); }

  void preamble() {
    file.line("** Benchmark data, generated")
        .line("** Values uniform in [-1000, 1000]")
        .line("*TITLE")
        .line("Generated benchmark data");
    for (int i = 0; i < 20; ++i) {
      char text[96];
      std::snprintf(text, sizeof text, "** note %d, revision %lld", i,
                    static_cast<long long>(random.between(1, 99)));
      file.line(text);
    }
    file.line("*SETTINGS").line("scale = 2.5").line("*TABLE, NAME=all");
  }

  void reals_row_4() {
    file.byte(10)
        .i32(static_cast<int32_t>(next_row++))
        .f32(static_cast<float>(decimal_value(random)))
        .f32(static_cast<float>(decimal_value(random)))
        .f32(static_cast<float>(decimal_value(random)));
  }

  void reals_row_8() {
    if (random.percent(90)) {
      file.byte(30).byte(kLongRealsFormat);
    } else {
      file.fsf8(30, {0x0A, 0x74, 0x74, 0x74});
    }
    file.i32(static_cast<int32_t>(next_row++))
        .f64(decimal_value(random))
        .f64(decimal_value(random))
        .f64(decimal_value(random));
  }

  void reals_rows(int count) {
    file.text_record("*TABLE, NAME=part");
    for (int i = 0; i < count; ++i) {
      const bool eight = opts.reals == 8 ? random.percent(95) : random.percent(5);
      eight ? reals_row_8() : reals_row_4();
    }
  }

  // Rows of integers: mostly rows of the cached ten-integer format, some hard-wired layouts and
  // some rows that end early with a zero-fill marker.
  void row() {
    const int32_t row_number = static_cast<int32_t>(next_integer_row++);
    const int kind = static_cast<int>(random.between(0, 9));
    if (kind < 5) {
      file.byte(kRowFormat).i32(row_number);
      const bool short_row = random.percent(10);
      for (int i = 0; i < 9; ++i) {
        if (short_row && i == 4) {
          file.marker4();
          break;
        }
        file.i32(row_reference());
      }
      return;
    }
    // Hard-wired codes 11-17 with their source-field counts.
    static const int kSources[] = {6, 4, 8, 6, 8, 5, 8};
    const int layout = static_cast<int>(random.between(0, 6));
    file.byte(static_cast<uint8_t>(11 + layout)).i32(row_number);
    for (int i = 1; i < kSources[layout]; ++i) file.i32(row_reference());
  }

  void rows(int count) {
    file.text_record("*ROWS, NAME=part");
    for (int i = 0; i < count; ++i) row();
  }

  void mixed_rows(int count) {
    for (int i = 0; i < count; ++i) {
      const char* name = kNames[random.between(0, 5)];
      switch (random.between(0, 3)) {
        case 0:
          file.byte(kMixedFormat)
              .i32(static_cast<int32_t>(random.between(1, 500)))
              .str(name)
              .f32(static_cast<float>(random.between(1, 300000)) / 1.0f)
              .f32(static_cast<float>(random.between(100, 499)) / 1000.0f)
              .f64(static_cast<double>(random.between(1, 99999)) * 1e-12)
              .i32(static_cast<int32_t>(random.between(0, 3)));
          break;
        case 1:
          file.byte(kNamedFormat)
              .str(name)
              .f64(decimal_value(random))
              .f64(static_cast<double>(random.between(1, 9999)) * 1e3);
          break;
        case 2:
          // A packed line-specific format: integer, 4-byte real, 8-byte real, string.
          file.lsf4({2, 6, 11, 13})
              .i32(static_cast<int32_t>(random.between(1, 100)))
              .f32(static_cast<float>(decimal_value(random)))
              .f64(decimal_value(random))
              .str(name);
          break;
        default:
          // A plain line-specific format with a free-format mark.
          file.lsf8({0x80, 0x1F, 0x7F})
              .str(name)
              .i32(static_cast<int32_t>(random.between(1, 100)))
              .f64(decimal_value(random));
          break;
      }
    }
  }

  void section() {
    file.start_binary(opts.swapped ? order::reversed : order::native);
    file.define(kLongRealsFormat, {0x0A, 0x74, 0x74, 0x74});
    file.define(kRowFormat, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
    file.define(kMixedFormat, {0x0A, 0x8A, 0x2A, 0x2A, 0x6A, 0x0A});
    file.define(kNamedFormat, {0x8A, 0x74, 0x74});
    for (int block = 0; block < 50 && produced() < target(); ++block) {
      reals_rows(static_cast<int>(random.between(500, 3000)));
      flush_if_large();
      rows(static_cast<int>(random.between(300, 2000)));
      flush_if_large();
      file.text_record("*LIST, NAME=generated");
      file.text_record("$ list values follow");
      mixed_rows(static_cast<int>(random.between(5, 40)));
      if (random.percent(20)) {
        // A stretch of text lines inside the section.
        file.suspend_binary();
        file.line("*STAGE, NAME=first").line("*PLAIN").line("0.1, 1.0, 1e-05, 0.25");
        file.line("*END STAGE");
        file.resume_binary();
      }
      if (random.percent(5)) {
        // A cached format reset and redefined with another meaning.
        file.reset(kMixedFormat);
        file.define(kMixedFormat, {0x0A, 0x8A, 0x2A, 0x2A, 0x6A, 0x0A});
      }
    }
    file.end_binary();
    file.line("** end of part");
  }

  void run() {
    preamble();
    while (produced() < target()) {
      section();
      flush_if_large();
    }
    file.line("*END STAGE");
    flush();
  }
};

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: make_bench_file [--size-mb N] [--seed S] [--reals 4|8] [--swapped] "
               "OUTPUT\n");
  std::exit(2);
}

options parse(int argc, char** argv) {
  options opts;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (std::strcmp(arg, "--size-mb") == 0 && has_value) {
      opts.size_mb = std::atof(argv[++i]);
    } else if (std::strcmp(arg, "--seed") == 0 && has_value) {
      opts.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(arg, "--reals") == 0 && has_value) {
      opts.reals = std::atoi(argv[++i]);
    } else if (std::strcmp(arg, "--swapped") == 0) {
      opts.swapped = true;
    } else if (arg[0] == '-' || opts.output != nullptr) {
      usage();
    } else {
      opts.output = arg;
    }
  }
  if (opts.output == nullptr || !(opts.size_mb > 0) || (opts.reals != 4 && opts.reals != 8)) {
    usage();
  }
  return opts;
}

}  // namespace

int main(int argc, char** argv) {
  generator g;
  g.opts = parse(argc, argv);
  g.random.state = g.opts.seed;
  g.out = std::fopen(g.opts.output, "wb");
  if (g.out == nullptr) {
    std::perror(g.opts.output);
    return 1;
  }
  g.run();
  if (std::fclose(g.out) != 0) {
    std::perror(g.opts.output);
    return 1;
  }
  return 0;
}
