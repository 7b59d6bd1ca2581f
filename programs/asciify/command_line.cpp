#include "programs/asciify/command_line.h"

#include <cstdio>
#include <string>
#include <vector>

#include "asciify/version.h"
#include "programs/asciify/file_conversion.h"
#include "programs/asciify/listing.h"
#include "programs/asciify/many_files.h"
#include "programs/asciify/options.h"

namespace asciify {
namespace {

constexpr const char* kHelp =
    "Usage: asciify [OPTIONS] IN OUT\n"
    "       asciify [OPTIONS] -d DIR IN...\n"
    "       asciify -l [--json] IN\n"
    "\n"
    "Converts IN, a text file in which stretches of lines are binary-encoded, back into\n"
    "the plain text file OUT (replaced whole at the end if it exists; never when it\n"
    "is IN itself).\n"
    "\n"
    "  IN   the input file, or - for standard input\n"
    "  OUT  the output file, or - for standard output; the notes that would go to\n"
    "       standard output then go to standard error\n"
    "\n"
    "Options (anywhere among the files; -- ends them; -qd DIR bundles -q -d DIR):\n"
    "  -d, --directory DIR  convert each IN into DIR/NAME.txt (NAME: IN's file name\n"
    "                       without its extension); DIR is made if missing\n"
    "  -j, --jobs N         with -d: convert N files at once (0: one per processor);\n"
    "                       what is printed stays the same, in the same order\n"
    "  -T, --threads N      threads of one conversion (default 0: as many as help;\n"
    "                       1: one thread); with -j the files share the processors\n"
    "  -l, --list           read IN and tell what it holds, writing no text\n"
    "      --json           with --list: one JSON object\n"
    "  -q, --quiet          leave out the notes (byte order, \"Finished ...\"), never a\n"
    "                       warning or an error\n"
    "      --no-decompress  read IN as it is, also when it looks compressed\n"
    "  -h, --help           print this help and exit\n"
    "  -V, --version        print the version and exit\n"
    "\n"
    "A conversion that runs longer than a second shows its progress on standard error\n"
    "when that is a terminal.\n"
    "\n"
    "Exit status: 0 converted, 1 usage error, a file that cannot be opened, or IN and\n"
    "OUT the same file, 2 the conversion failed (the lines written before the error\n"
    "stay in OUT).\n"
    "See asciify(1) for the input format and the messages.\n";

constexpr const char* kTry = "Try 'asciify --help' for more information.\n";

// Prints the help or the version. Returns the exit status.
int print_to_standard_output(const char* text) {
  std::fputs(text, stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "Failed to write standard output.\n");
    std::clearerr(stdout);  // told already
    return 1;
  }
  return 0;
}

// Says what is wrong with the command line. Returns the exit status.
int reject(const parsed_command& parsed) {
  if (parsed.arguments.outcome != cli::parse_outcome::ok) {
    cli::print_option_error("asciify", parsed.arguments);
  } else {
    std::fputs("Format is <input binary filename> <output ascii filename>\n", stderr);
    if (!parsed.problem.empty()) std::fprintf(stderr, "asciify: %s\n", parsed.problem.c_str());
  }
  std::fputs(kTry, stderr);
  return 1;
}

// The run, before what went to standard output is checked.
int run_unchecked(int argc, char** argv) {
  const parsed_command parsed = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.arguments.outcome != cli::parse_outcome::ok || !parsed.files_fit)
    return reject(parsed);
  const command_options& options = parsed.options;
  switch (options.mode) {
    case command_mode::help:
      return print_to_standard_output(kHelp);
    case command_mode::version:
      return print_to_standard_output("asciify " ASCIIFY_VERSION "\n");
    case command_mode::list:
      return list_input(options.files[0].c_str(), options.json, options.decompress);
    case command_mode::convert:
      break;
  }
  report_settings settings{options.quiet, options.decompress};
  settings.threads = threads_per_file(options);
  if (options.use_directory) {
    return convert_into_folder(options.directory, options.files, settings, options.jobs);
  }
  int64_t lines = 0;
  cli::message_log log;
  return convert_file_pair(options.files[0].c_str(), options.files[1].c_str(), settings, log,
                           &lines);
}

}  // namespace

int run_command_line(int argc, char** argv) {
  return cli::checked_standard_output("asciify",
                                      cli::run_guarded("asciify", run_unchecked, argc, argv));
}

}  // namespace asciify
