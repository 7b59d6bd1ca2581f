// Micro-benchmark of the real-number routines against the step-by-step transcription that they
// replace. Every (value, width) pair that is timed is first converted by both and compared
// byte for byte, result included; any difference stops the program before anything is timed.
// After the runs a table gives the speed-up per value set and width.
#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/support/random_source.h"
#include "tests/support/real_text_reference.h"
#include "text/real_text.h"

namespace {

using asciify::test_support::random_source;

constexpr int kValuesPerSet = 4096;
constexpr int kFieldSize = 48;

// Values as measurements give them: uniform in [-1000, 1000] with 3 to 6 decimals.
double measured_value(random_source& random) {
  static const int64_t kScales[] = {1000, 10000, 100000, 1000000};
  const int64_t scale = kScales[random.next() % 4];
  const int64_t span = 2000 * scale + 1;
  const auto units = static_cast<int64_t>(random.next() % static_cast<uint64_t>(span));
  return static_cast<double>(units - 1000 * scale) / static_cast<double>(scale);
}

enum class routine { single, twice };  // float_to_text, double_to_text
enum class value_set { measured, random_bits };

// The values of one set, as the routine takes them.
struct values {
  std::vector<float> floats;
  std::vector<double> doubles;
};

values make_values(routine r, value_set set) {
  random_source random{set == value_set::measured ? 11u : 29u};
  values v;
  for (int i = 0; i < kValuesPerSet; ++i) {
    if (r == routine::single) {
      float f;
      if (set == value_set::measured) {
        f = static_cast<float>(measured_value(random));
      } else {
        const auto bits = static_cast<uint32_t>(random.next());
        std::memcpy(&f, &bits, sizeof f);
      }
      v.floats.push_back(f);
    } else {
      double d;
      if (set == value_set::measured) {
        d = measured_value(random);
      } else {
        const uint64_t bits = random.next();
        std::memcpy(&d, &bits, sizeof d);
      }
      v.doubles.push_back(d);
    }
  }
  return v;
}

using float_routine = bool (*)(float, int32_t, char*, int32_t, int32_t);
using double_routine = bool (*)(double, int32_t, char*, int32_t, int32_t);

// Converts every value with both implementations and stops the program at the first
// difference in the field bytes or in the result.
void verify(routine r, const values& v, int32_t width, const char* name) {
  char fast[kFieldSize];
  char reference[kFieldSize];
  for (int i = 0; i < kValuesPerSet; ++i) {
    std::memset(fast, '#', sizeof fast);
    std::memset(reference, '#', sizeof reference);
    bool fast_result;
    bool reference_result;
    if (r == routine::single) {
      fast_result = asciify::float_to_text(v.floats[i], width, fast, 0, 8);
      reference_result = asciify::reference::float_to_text(v.floats[i], width, reference, 0, 8);
    } else {
      fast_result = asciify::double_to_text(v.doubles[i], width, fast, 0, 15);
      reference_result = asciify::reference::double_to_text(v.doubles[i], width, reference, 0, 15);
    }
    if (fast_result != reference_result || std::memcmp(fast, reference, sizeof fast) != 0) {
      const double value = r == routine::single ? v.floats[i] : v.doubles[i];
      std::fprintf(
          stderr, "MISMATCH in %s: value %a width %d: fast [%.*s] (%d), reference [%.*s] (%d)\n",
          name, value, width, width, fast, fast_result, width, reference, reference_result);
      std::exit(1);
    }
  }
}

template <typename Real>
void time_routine(benchmark::State& state, const std::vector<Real>& xs, int32_t width,
                  bool (*convert)(Real, int32_t, char*, int32_t, int32_t), int32_t digits) {
  char field[kFieldSize];
  for (auto _ : state) {
    for (const Real x : xs) {
      convert(x, width, field, 0, digits);
      benchmark::DoNotOptimize(field);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xs.size()));
}

// CPU nanoseconds per value of every run, by case name and implementation, for the final
// table.
std::map<std::string, std::map<std::string, double>> g_nanoseconds;

class recording_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.benchmark_name();
      const size_t slash = name.rfind('/');
      const double per_value = run.GetAdjustedRealTime() * 1e9 /
                               benchmark::GetTimeUnitMultiplier(run.time_unit) /
                               static_cast<double>(kValuesPerSet);
      g_nanoseconds[name.substr(0, slash)][name.substr(slash + 1)] = per_value;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  static const int32_t kWidths[] = {10, 16, 20, 7, 12, 25};
  static std::vector<values> sets;  // kept alive for the registered benchmarks
  sets.reserve(4);
  for (const routine r : {routine::single, routine::twice}) {
    for (const value_set set : {value_set::measured, value_set::random_bits}) {
      sets.push_back(make_values(r, set));
      const values& v = sets.back();
      for (const int32_t width : kWidths) {
        char name[96];
        std::snprintf(name, sizeof name, "%s/%s/w%d", r == routine::single ? "float" : "double",
                      set == value_set::measured ? "measured" : "random_bits", width);
        verify(r, v, width, name);
        const std::string base(name);
        if (r == routine::single) {
          benchmark::RegisterBenchmark((base + "/fast").c_str(), time_routine<float>, v.floats,
                                       width, float_routine{asciify::float_to_text}, 8);
          benchmark::RegisterBenchmark((base + "/reference").c_str(), time_routine<float>, v.floats,
                                       width, float_routine{asciify::reference::float_to_text}, 8);
        } else {
          benchmark::RegisterBenchmark((base + "/fast").c_str(), time_routine<double>, v.doubles,
                                       width, double_routine{asciify::double_to_text}, 15);
          benchmark::RegisterBenchmark((base + "/reference").c_str(), time_routine<double>,
                                       v.doubles, width,
                                       double_routine{asciify::reference::double_to_text}, 15);
        }
      }
    }
  }
  std::printf("verified: fast and reference texts identical for every timed value and width\n");

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  recording_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nCPU time per value\n%-32s %12s %12s %9s\n", "case", "fast ns", "reference ns",
              "speed-up");
  for (const auto& [name, by_kind] : g_nanoseconds) {
    const auto fast = by_kind.find("fast");
    const auto reference = by_kind.find("reference");
    if (fast == by_kind.end() || reference == by_kind.end()) continue;
    std::printf("%-32s %12.1f %12.1f %8.1fx\n", name.c_str(), fast->second, reference->second,
                reference->second / fast->second);
  }
  return 0;
}
