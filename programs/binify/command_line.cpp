#include "programs/binify/command_line.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asciify/packer.h"
#include "asciify/version.h"
#include "cli/files.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "platform/failure_reason.h"
#include "platform/files.h"

namespace asciify {
namespace {

constexpr cli::program_words kBinify{"binify", "ascii", "binary"};

constexpr const char* kUsage =
    "Format is binify [-b little|big] <input ascii filename> <output binary filename>\n";

constexpr const char* kHelp =
    "Usage: binify [-b little|big] [--] IN OUT\n"
    "       binify --help | --version\n"
    "\n"
    "Packs IN, a text file, into OUT, a file that asciify converts back into exactly IN:\n"
    "lines of numbers become binary records, everything else stays text.\n"
    "OUT is written under another name beside it and put in place when the run succeeds.\n"
    "\n"
    "  IN   the text file (a gzip, xz or zstd one is decompressed), or - for standard input\n"
    "  OUT  the packed file, or - for standard output; the summary then goes to\n"
    "       standard error\n"
    "\n"
    "  -b, --byte-order little|big  byte order of the numbers (default: this machine's)\n"
    "  -q, --quiet                  leave out the notes and the summary, never an error\n"
    "      --no-decompress          read IN as it is, also when it looks compressed\n"
    "  -h, --help                   print this help and exit\n"
    "  -V, --version                print the version and exit\n"
    "\n"
    "A run that takes longer than a second shows its progress on standard error when that\n"
    "is a terminal.\n"
    "\n"
    "Exit status: 0 packed, 1 usage error or a file that cannot be opened,\n"
    "2 the packing failed or IN has a line that no packed file can carry (OUT is not\n"
    "written). See binify(1).\n";

constexpr const char* kTry = "Try 'binify --help' for more information.\n";

enum option_id { kByteOrder, kQuiet, kNoDecompress, kHelpOption, kVersion };

constexpr cli::option_spec kOptions[] = {
    {kByteOrder, 'b', "byte-order", "a byte order, little or big"},
    {kQuiet, 'q', "quiet", nullptr},
    {kNoDecompress, 0, "no-decompress", nullptr},
    {kHelpOption, 'h', "help", nullptr},
    {kVersion, 'V', "version", nullptr},
};

struct arguments {
  std::string input_name;
  std::string output_name;
  const char* input = nullptr;   // input_name's text
  const char* output = nullptr;  // output_name's text
  byte_order order = native_byte_order();
  bool quiet = false;
  bool decompress = true;   // a compressed IN is decompressed
  std::optional<int> done;  // set when the call is answered without packing
};

int print_and_exit(const char* text) {
  std::fputs(text, stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "Failed to write standard output.\n");
    std::clearerr(stdout);  // told already
    return 1;
  }
  return 0;
}

int usage_error() {
  std::fputs(kTry, stderr);
  return 1;
}

// Applies the options; help wins over the version, and both over packing.
void apply_options(const cli::parsed_arguments& parsed, arguments& a) {
  bool help = false;
  bool version = false;
  for (const cli::given_option& given : parsed.options) {
    if (given.id == kHelpOption) help = true;
    if (given.id == kVersion) version = true;
    if (given.id == kQuiet) a.quiet = true;
    if (given.id == kNoDecompress) a.decompress = false;
    if (given.id != kByteOrder || a.done) continue;
    if (given.value == "little" || given.value == "big") {
      a.order = given.value == "little" ? byte_order::little : byte_order::big;
    } else {
      std::fprintf(stderr, "binify: unknown byte order '%s', not little or big\n",
                   given.value.c_str());
      a.done = usage_error();
    }
  }
  if (a.done) return;
  if (help) a.done = print_and_exit(kHelp);
  if (!help && version) a.done = print_and_exit("binify " ASCIIFY_VERSION "\n");
}

// Says what is wrong with the names: the usage line, what is wrong (unless there are no
// arguments at all), the hint. Returns the exit status.
int reject_names(const std::vector<std::string>& names, bool no_arguments) {
  std::fputs(kUsage, stderr);
  if (!no_arguments) {
    if (names.size() > 2) {
      std::fprintf(stderr, "binify: unexpected name '%s'\n", names[2].c_str());
    } else {
      std::fprintf(stderr, "binify: missing %s\n", names.empty() ? "IN" : "OUT");
    }
  }
  return usage_error();
}

// Options may stand anywhere until "--", which ends them; "-" alone is a file name; IN and OUT
// and no other name.
arguments parse(int argc, char** argv) {
  arguments a;
  const cli::parsed_arguments parsed =
      cli::parse_arguments(std::vector<std::string>(argv + 1, argv + argc), kOptions);
  if (parsed.outcome != cli::parse_outcome::ok) {
    cli::print_option_error("binify", parsed);
    a.done = usage_error();
    return a;
  }
  apply_options(parsed, a);
  if (a.done) return a;
  if (parsed.names.size() != 2) {
    a.done = reject_names(parsed.names, argc <= 1);
    return a;
  }
  a.input_name = parsed.names[0];
  a.output_name = parsed.names[1];
  return a;
}

void report_refusal(const pack_report& r) {
  const char* why = r.refused_because == refusal::zero_byte ? "holds a zero byte"
                    : r.refused_because == refusal::no_end_of_line
                        ? "is the last line and has no end-of-line byte"
                        : "is too long for one record";
  std::fprintf(stderr, "Line %lld begins with the marker %s and %s: no packed file can carry it.\n",
               static_cast<long long>(r.refused_line), r.refused_marker, why);
}

void report_extension(const pack_report& r) {
  if (r.extended_line == 0) return;
  if (r.extended_because == extension::long_line) {
    std::fprintf(stderr,
                 "Note: line %lld is longer than 255 bytes; asciify reads it back, a reader "
                 "held to 256-byte lines may not.\n",
                 static_cast<long long>(r.extended_line));
  } else {
    std::fprintf(stderr,
                 "Note: the last line (%lld) has no end-of-line byte; asciify reads it back, "
                 "a reader held to whole lines may not.\n",
                 static_cast<long long>(r.extended_line));
  }
}

bool take_bytes(void* context, const uint8_t* bytes, size_t size) {
  return pack_bytes(*static_cast<packer*>(context), bytes, size);
}

int64_t lines_so_far(void* context) {
  return packing_report(*static_cast<packer*>(context)).lines_in;
}

// Reads the whole input into the packer, showing progress on a terminal.
void pack_input(input_stream& input, const cli::destination& target, packer& p) {
  std::optional<cli::progress_display> progress;
  if (cli::progress_wanted(platform::is_terminal(input_descriptor(input)), target.terminal)) {
    progress.emplace("binify", input_progress_of(input).raw_size, false,
                     cli::progress_delay_from_environment("BINIFY_PROGRESS_DELAY_MS"));
  }
  cli::pump_input(input, {take_bytes, lines_so_far, &p}, progress ? &*progress : nullptr);
  if (progress) progress->finish();
}

// Reports how the run ended and returns its exit status.
int report_end(const arguments& a, const input_stream& input, const pack_report& r, bool packed,
               int settle_error) {
  const bool read_ok = !input_failed(input);
  if (!read_ok) {
    std::fprintf(stderr, "Failed to read input file %s.\n", a.input);
    std::fprintf(stderr, "binify: %s: %s\n", cli::reason_name(a.input, "standard input"),
                 input_failure_reason(input).c_str());
  } else if (r.refused_line != 0) {
    report_refusal(r);
  } else if (!packed || settle_error != 0) {
    std::fprintf(stderr, "Failed to write output file %s.\n", a.output);
    const int error = settle_error != 0 ? settle_error : r.write_error;
    if (error != 0) {
      cli::message_log log;
      cli::print_reason(kBinify, cli::reason_name(a.output, "standard output"), error, log);
    }
  }
  if (!read_ok || !packed || settle_error != 0) {
    std::fprintf(stderr, "File packing failed after reading %lld lines.\n",
                 static_cast<long long>(r.lines_in));
    return 2;
  }
  if (a.quiet) return 0;
  report_extension(r);
  FILE* info = cli::is_standard_stream(a.output) ? stderr : stdout;
  std::fprintf(info, "Finished packing file, %lld lines in, %lld bytes out.\n",
               static_cast<long long>(r.lines_in), static_cast<long long>(r.bytes_out));
  return 0;
}

}  // namespace

// The run, before what went to standard output is checked.
static int run_unchecked(int argc, char** argv) {
  arguments a = parse(argc, argv);
  if (a.done) return *a.done;
  a.input = a.input_name.c_str();
  a.output = a.output_name.c_str();
  cli::message_log log;
  input_options reading;
  reading.decompress = a.decompress;
  const input_handle input = cli::open_input(kBinify, a.input, reading, log);
  if (input == nullptr) return 1;
  cli::destination target;
  if (!cli::open_output_for(kBinify, a.input, *input, a.output, ".binify-", &target, log)) {
    return 1;
  }
  pack_options options;
  options.order = a.order;
  options.second_thread = true;
  packer_ptr p;
  try {
    p = make_packer(options, cli::destination_sink(target));
  } catch (...) {
    // No memory for the packer's buffers: nothing was written.
    std::fprintf(stderr, "binify: %s\nFile packing failed after reading 0 lines.\n",
                 platform::reason_of_current_exception().c_str());
    cli::close_destination(target);
    cli::settle_destination(target, false);
    return 2;
  }
  pack_input(*input, target, *p);
  const bool packed = !input_failed(*input) && finish_packing(*p);
  if (input_failed(*input)) cli::close_destination(target);
  const int settle_error = cli::settle_destination(target, packed);
  return report_end(a, *input, packing_report(*p), packed, settle_error);
}

int run_binify(int argc, char** argv) {
  return cli::checked_standard_output("binify",
                                      cli::run_guarded("binify", run_unchecked, argc, argv));
}

}  // namespace asciify
