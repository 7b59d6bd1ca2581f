#include "pack/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "output/destination.h"
#include "pack/output_file.h"
#include "pack/packer.h"
#include "pack/progress.h"
#include "platform/files.h"
#include "version.h"

namespace binify {
namespace {

constexpr size_t kReadSize = 1 << 20;

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
    "  IN   the text file, or - for standard input\n"
    "  OUT  the packed file, or - for standard output; the summary then goes to\n"
    "       standard error\n"
    "\n"
    "  -b, --byte-order little|big  byte order of the numbers (default: this machine's)\n"
    "  -h, --help                   print this help and exit\n"
    "  -V, --version                print the version and exit\n"
    "\n"
    "A run that takes longer than a second shows its progress on standard error when that\n"
    "is a terminal.\n"
    "\n"
    "Exit status: 0 packed, 1 usage error or a file that cannot be opened,\n"
    "2 the packing failed or IN has a line that no packed file can carry (OUT is not\n"
    "written). See binify(1).\n";

struct arguments {
  const char* input = nullptr;
  const char* output = nullptr;
  byte_order order = native_byte_order();
  std::optional<int> done;  // set when the call is answered without packing
};

std::optional<byte_order> parse_order(std::string_view text) {
  if (text == "little") return byte_order::little;
  if (text == "big") return byte_order::big;
  return std::nullopt;
}

int print_and_exit(const char* text) {
  std::fputs(text, stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "Failed to write standard output.\n");
    return 1;
  }
  return 0;
}

constexpr const char* kTry = "Try 'binify --help' for more information.\n";

// Says what is wrong with the command line (`what` with its argument, or the usage) and
// returns the exit status.
int usage_error(const char* what, const char* argument) {
  if (what != nullptr) {
    std::fprintf(stderr, what, argument);
  } else {
    std::fputs(kUsage, stderr);
  }
  std::fputs(kTry, stderr);
  return 1;
}

// The line that gives the system's reason for a failure with a file ("-" names the standard
// stream).
void print_reason(const char* name, const char* standard_stream, int error) {
  std::fprintf(stderr, "binify: %s: %s\n", std::strcmp(name, "-") == 0 ? standard_stream : name,
               std::strerror(error));
}

// Opens the input, which must be something that can be read as a file; null after the
// messages.
FILE* open_input(const char* name) {
  FILE* input = std::strcmp(name, "-") == 0 ? stdin : asciify::platform::open_stream(name, "rb");
  int error = input == nullptr ? errno : 0;
  if (input != nullptr && is_directory(input)) {
    if (input != stdin) std::fclose(input);
    input = nullptr;
    error = EISDIR;
  }
  // Windows refuses to open a folder with "access denied": say what it is.
  if (input == nullptr && asciify::identity_of_path(name).directory) error = EISDIR;
  if (input == nullptr) {
    std::fprintf(stderr, "Couldn't open input ascii file %s for reading.\n", name);
    print_reason(name, "standard input", error);
  }
  return input;
}

// Options come before the files, and "--" ends them; "-" alone is a file name; further file
// names are ignored.
arguments parse_arguments(int argc, char** argv) {
  arguments a;
  int i = 1;
  for (; i < argc && !a.done; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;  // a file, "-" included
    if (arg == "-h" || arg == "--help") {
      a.done = print_and_exit(kHelp);
    } else if (arg == "-V" || arg == "--version") {
      a.done = print_and_exit("binify " ASCIIFY_VERSION "\n");
    } else if (arg == "-b" || arg == "--byte-order" || arg.starts_with("--byte-order=")) {
      const bool joined = arg.starts_with("--byte-order=");
      if (!joined && i + 1 >= argc) {
        a.done = usage_error("binify: option '%s' needs a byte order, little or big\n", argv[i]);
        break;
      }
      const char* value = joined ? argv[i] + std::strlen("--byte-order=") : argv[++i];
      const std::optional<byte_order> order = parse_order(value);
      if (!order)
        a.done = usage_error("binify: unknown byte order '%s', not little or big\n", value);
      if (order) a.order = *order;
    } else {
      a.done = usage_error("binify: unknown option '%s'\n", argv[i]);
    }
  }
  if (a.done) return a;
  if (i < argc) a.input = argv[i++];
  if (i < argc) a.output = argv[i++];
  if (a.output == nullptr) a.done = usage_error(nullptr, nullptr);
  return a;
}

// The output stream as the packer's sink, with the reason of its first failed write.
struct stream_sink {
  FILE* stream = nullptr;
  int error = 0;
};

bool write_to_stream(void* context, const uint8_t* data, size_t size) {
  auto* sink = static_cast<stream_sink*>(context);
  if (std::fwrite(data, 1, size, sink->stream) == size) return true;
  if (sink->error == 0) sink->error = errno;
  return false;
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

// Reads the input to its end and packs it. Returns false after a read error.
bool pack_input(FILE* input, FILE* output, packer& p) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadSize]);
  std::optional<progress_line> progress;
  if (progress_wanted(input, output)) {
    progress = start_progress(input, progress_delay_from_environment());
  }
  int64_t bytes_read = 0;
  bool more = true;
  while (more) {
    const size_t got = std::fread(buffer.get(), 1, kReadSize, input);
    more = got == kReadSize;
    bytes_read += static_cast<int64_t>(got);
    if (!pack_bytes(p, buffer.get(), got)) break;
    if (progress) update_progress(*progress, bytes_read, packing_report(p).lines_in);
  }
  if (progress) end_progress(*progress);
  return std::ferror(input) == 0;
}

}  // namespace

int run_command_line(int argc, char** argv) {
  const arguments a = parse_arguments(argc, argv);
  if (a.done) return *a.done;
  const bool input_is_stdin = std::strcmp(a.input, "-") == 0;
  FILE* input = open_input(a.input);
  if (input == nullptr) return 1;
  if (same_file(input, a.output)) {
    if (!input_is_stdin) std::fclose(input);
    std::fprintf(stderr, "binify: %s and %s are the same file; nothing was written.\n", a.input,
                 a.output);
    return 1;
  }
  output_file output;
  if (const int error = open_output(a.output, &output); error != 0) {
    if (!input_is_stdin) std::fclose(input);
    std::fprintf(stderr, "Couldn't open output binary file %s for writing.\n", a.output);
    print_reason(a.output, "standard output", error);
    return 1;
  }
  FILE* info = output.stream == stdout ? stderr : stdout;
  pack_options options;
  options.order = a.order;
  options.two_threads = true;
  stream_sink sink{output.stream};
  packer_ptr p = make_packer(options, {write_to_stream, &sink});
  const bool read_ok = pack_input(input, output.stream, *p);
  const int read_error = read_ok ? 0 : errno;
  if (!input_is_stdin) std::fclose(input);
  const bool packed = read_ok && finish_packing(*p);
  const pack_report& r = packing_report(*p);
  errno = 0;
  const bool closed = close_output(output, packed);
  const int write_error = sink.error != 0 ? sink.error : errno;
  if (!read_ok) {
    std::fprintf(stderr, "Failed to read input file %s.\n", a.input);
    print_reason(a.input, "standard input", read_error);
  } else if (r.refused_line != 0) {
    report_refusal(r);
  } else if (!packed || !closed) {
    std::fprintf(stderr, "Failed to write output file %s.\n", a.output);
    if (write_error != 0) print_reason(a.output, "standard output", write_error);
  }
  if (!read_ok || !packed || !closed) {
    std::fprintf(stderr, "File packing failed after reading %lld lines.\n",
                 static_cast<long long>(r.lines_in));
    return 2;
  }
  report_extension(r);
  std::fprintf(info, "Finished packing file, %lld lines in, %lld bytes out.\n",
               static_cast<long long>(r.lines_in), static_cast<long long>(r.bytes_out));
  return 0;
}

}  // namespace binify
