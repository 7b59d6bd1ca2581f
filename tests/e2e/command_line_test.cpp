// The command line, the files, standard streams and pipes, and the progress line on a
// terminal, run as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "asciify/version.h"
#include "tests/e2e/run_asciify.h"
#include "tests/e2e/terminal_runner.h"
#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"
#include "tests/support/random_input.h"

namespace asciify::test_support {
namespace {

const std::string kTry = "Try 'asciify --help' for more information.\n";
const std::string kUsage = "Format is <input binary filename> <output ascii filename>\n" + kTry;
// The usage line, what is wrong with the names, the hint.
std::string usage_because(const std::string& problem) {
  return "Format is <input binary filename> <output ascii filename>\nasciify: " + problem + "\n" +
         kTry;
}
std::string unknown(const std::string& option) {
  return "asciify: unknown option '" + option + "'\n" + kTry;
}
const std::string kNoSpace = "No space left on device\n";
const std::string kNoFile = "No such file or directory\n";
const std::string kEndInAscii = "Encountered *END_BINARY when already in ASCII mode.\n";
// The line that says where and why, after kEndInAscii for a marker at input byte `at`.
std::string end_in_ascii_at(size_t at) {
  return "asciify: input byte " + std::to_string(at) +
         ": a marker that closes a binary section stands where none is open: a stray marker line "
         "in the text, or the section's start is damaged\n";
}
const std::string kTwoLines = "a line\nanother line\n";

// `text` with "NAME: " before each of its lines, as a conversion among many files prints them.
std::string named(const std::string& name, const std::string& text) {
  std::string lines;
  for (size_t begin = 0; begin < text.size();) {
    const size_t end = std::min(text.find('\n', begin), text.size() - 1) + 1;
    lines += name + ": " + text.substr(begin, end - begin);
    begin = end;
  }
  return lines;
}

// ASCII lines adding up to at least `bytes` bytes; `count` receives their number.
std::string ascii_lines(size_t bytes, long long* count) {
  std::string text;
  for (*count = 0; text.size() < bytes; ++*count) {
    text += "line " + std::to_string(*count) + " of a long input, with some words after it\n";
  }
  return text;
}

// A binary section in the reverse byte order whose second record holds a value too wide for
// its field: it converts to kSectionText, with kSwappedNote and a warning about its second line.
const std::string kSectionText = "       1   2\n********   7\n";
const std::string kSectionLines = "a\n" + kSectionText + "b\n";
std::string section_with_wide_value() {
  encoder file = encoder{}.start_binary(order::reversed).define(71, {0x08, 0x04});
  return file.byte(71).i32s({1, 2}).byte(71).i32s({123456789, 7}).end_binary().bytes;
}

// The folder separator that joined names show.
const std::string kSeparator(1, static_cast<char>(std::filesystem::path::preferred_separator));

// A scratch directory that holds in.dat (two lines), a hard link hard.dat to it, in.txt and
// sub/in.dat (copies of it), section.dat (the section above between two lines), failing.dat, a
// directory, a file named -h and one named Größe.dat.
void fill_scratch_dir(const scratch_dir& dir) {
  write_file(dir.file("in.dat"), kTwoLines);
  make_hard_link(dir.file("in.dat"), dir.file("hard.dat"));
  write_file(dir.file("in.txt"), kTwoLines);
  std::filesystem::create_directory(dir.file("sub"));
  write_file(dir.file("sub/in.dat"), kTwoLines);
  write_file(dir.file("-h"), "one\n");
  write_file(dir.file("Größe.dat"), kTwoLines);
  write_file(dir.file("section.dat"), "a\n" + section_with_wide_value() + "b\n");
  write_file(dir.file("failing.dat"), "a\n*END_BINARY\nb\n");
  std::filesystem::create_directory(dir.file("dir"));
}

// What a run gives: status, standard output and error, and what the output files hold after
// it, one after the other (kNotMade, unless given: that none of them exists). The help text is
// checked by its parts.
const std::string kNotMade = "(not made)";
struct expected_run {
  int status;
  std::string out, err;
  std::string output = kNotMade;
};
const std::string kHelpText = "help";

// What the files `names` in `dir` hold, one after the other; kNotMade when none exists.
std::string outputs_in(const scratch_dir& dir, const std::vector<std::string>& names) {
  std::string text;
  bool any = false;
  for (const std::string& name : names) {
    any = any || file_exists(dir.file(name));
    text += read_file(dir.file(name));
  }
  return any ? text : kNotMade;
}

void expect_run(const command_result& result, const expected_run& expected,
                const std::string& output, const std::string& what) {
  EXPECT_EQ(result.status, expected.status) << what;
  EXPECT_EQ(result.err, expected.err) << what;
  EXPECT_EQ(output, expected.output) << what;
  if (expected.out != kHelpText) {
    EXPECT_EQ(result.out, expected.out) << what;
    return;
  }
  EXPECT_TRUE(result.out.starts_with("Usage: asciify [OPTIONS] IN OUT\n")) << result.out;
  for (const char* part : {"--help", "--version", "--quiet", "--list", "--json", "--directory",
                           "standard input", "standard output", "Exit status", "asciify(1)"}) {
    EXPECT_NE(result.out.find(part), std::string::npos) << part;
  }
}

// asciify started with `args` in the scratch directory, standard input from the file
// `stdin_name` there (none: the null device); `outputs` are the files looked at afterwards.
struct command_case {
  std::vector<std::string> args;
  std::string stdin_name;
  expected_run expected;
  std::vector<std::string> outputs = {"out.txt"};
  std::string old_output = "";  // written to the first output file before the run
};

// Runs each case in a fresh scratch directory.
template <size_t N>
void run_command_cases(const command_case (&cases)[N]) {
  for (const command_case& c : cases) {
    scratch_dir dir;
    fill_scratch_dir(dir);
    if (!c.old_output.empty()) write_file(dir.file(c.outputs.front()), c.old_output);
    const std::string stdin_path = c.stdin_name.empty() ? "" : dir.file(c.stdin_name);
    const command_result result = run_command(c.args, stdin_path, dir.path);
    std::string what = "asciify";
    for (const std::string& arg : c.args) what += " '" + arg + "'";
    if (!c.stdin_name.empty()) what += " < " + c.stdin_name;
    expect_run(result, c.expected, outputs_in(dir, c.outputs), what);
  }
}

TEST(CommandLine, ArgumentsFilesAndOptions) {
  const std::string version = std::string("asciify ") + ASCIIFY_VERSION + "\n";
  // clang-format off
  const command_case cases[] = {
      {{}, "", {1, "", kUsage}},
      {{"in.dat"}, "", {1, "", usage_because("missing OUT")}},
      {{"missing.dat", "out.txt"}, "", {1, "",
       "Couldn't open input binary file missing.dat for reading.\nasciify: missing.dat: " + kNoFile}},
      {{"in.dat", "no-dir/out.txt"}, "", {1, "",
       "Couldn't open output ascii file no-dir/out.txt for writing.\nasciify: no-dir/out.txt: " +
       kNoFile}},
      // A third file name is refused before anything is opened.
      {{"in.dat", "out.txt", "extra", "more"}, "", {1, "", usage_because("unexpected name 'extra'")}},
      {{"in.dat", "section.dat", "out.txt"}, "", {1, "",
       usage_because("unexpected name 'out.txt'")}},
      // The input is never its own output, by whatever name or stream.
      {{"in.dat", "in.dat"}, "", {1, "",
       "asciify: in.dat and in.dat are the same file; nothing was written.\n", kTwoLines},
       {"in.dat"}},
      {{"in.dat", "./in.dat"}, "", {1, "",
       "asciify: in.dat and ./in.dat are the same file; nothing was written.\n", kTwoLines},
       {"in.dat"}},
      {{"hard.dat", "in.dat"}, "", {1, "",
       "asciify: hard.dat and in.dat are the same file; nothing was written.\n", kTwoLines},
       {"in.dat"}},
      {{"-", "in.dat"}, "in.dat", {1, "",
       "asciify: - and in.dat are the same file; nothing was written.\n", kTwoLines}, {"in.dat"}},
      {{kNullDevice, kNullDevice}, "", {0, finished_summary(0), ""}},
      {{"in.dat", "out.txt"}, "", {0, finished_summary(2), "", kTwoLines}, {"out.txt"},
       "old contents that are longer\n"},
      // The bundled example converts to the committed text.
      {{ASCIIFY_EXAMPLE_INPUT, "out.txt"}, "", {0, kSwappedNote + finished_summary(41), "",
       read_file(ASCIIFY_SOURCE_DIR "/examples/example.txt")}},
      // "-" for standard input and output; with OUT "-" the notes join the messages. The
      // streams are binary: no carriage return is added, no byte ends the input.
      {{"-", "out.txt"}, "section.dat", {0, kSwappedNote + finished_summary(4),
       wide_value_warning(8, 3), kSectionLines}},
      {{"section.dat", "-"}, "", {0, kSectionLines,
       kSwappedNote + wide_value_warning(8, 3) + finished_summary(4)}},
      {{"-T", "1", "section.dat", "-"}, "", {0, kSectionLines,
       kSwappedNote + wide_value_warning(8, 3) + finished_summary(4)}},
      {{"-", "-"}, "section.dat", {0, kSectionLines,
       kSwappedNote + wide_value_warning(8, 3) + finished_summary(4)}},
      {{"-", "-"}, "", {0, "", finished_summary(0)}},
      {{"-", "out.txt"}, "failing.dat", {2, "",
       kEndInAscii + end_in_ascii_at(2) + failed_summary(1), "a\n"}},
      {{"failing.dat", "-"}, "", {2, "a\n", kEndInAscii + end_in_ascii_at(2) + failed_summary(1)}},
      {{"--help"}, "", {0, kHelpText, ""}},
      {{"-h"}, "", {0, kHelpText, ""}},
      {{"--version"}, "", {0, version, ""}},
      {{"-V"}, "", {0, version, ""}},
      // An unknown option is named.
      {{"--bogus", "in.dat", "out.txt"}, "", {1, "", unknown("--bogus")}},
      {{"-v", "in.dat", "out.txt"}, "", {1, "", unknown("-v")}},
      {{"--HELP", "in.dat", "out.txt"}, "", {1, "", unknown("--HELP")}},
      {{"-"}, "", {1, "", usage_because("missing OUT")}},
      {{""}, "", {1, "", usage_because("missing OUT")}},
      {{"-q"}, "", {1, "", usage_because("missing IN")}},
      // Options stand anywhere until "--", and bundle.
      {{"in.dat", "out.txt", "-q"}, "", {0, "", "", kTwoLines}},
      {{"in.dat", "-q", "out.txt"}, "", {0, "", "", kTwoLines}},
      {{"in.dat", "out.txt", "--bogus"}, "", {1, "", unknown("--bogus")}, {}},
      {{"-qd", "conv", "in.dat"}, "", {0, "", "", kTwoLines}, {"conv/in.txt"}},
      {{"in.dat", "--directory=conv", "--quiet"}, "", {0, "", "", kTwoLines}, {"conv/in.txt"}},
      {{"--help", "/nonexistent-dir/out.txt"}, "", {0, kHelpText, ""}},
      {{"--version", "-h"}, "", {0, kHelpText, ""}},
      {{"-h", "-V"}, "", {0, kHelpText, ""}},
      {{"-q", "in.dat", "out.txt"}, "", {0, "", "", kTwoLines}},
      {{"--quiet", "section.dat", "out.txt"}, "", {0, "", wide_value_warning(8, 3), kSectionLines}},
      {{"-q", "section.dat", "-"}, "", {0, kSectionLines, wide_value_warning(8, 3)}},
      {{"-q", "failing.dat", "out.txt"}, "", {2, "",
       kEndInAscii + end_in_ascii_at(2) + failed_summary(1), "a\n"}},
      // "--" ends the options: then a file may be named like one.
      {{"--", "-h", "out.txt"}, "", {0, finished_summary(1), "", "one\n"}},
      {{"-q", "--", "-h", "-"}, "", {0, "one\n", ""}},
      {{"in.dat", "--help"}, "", {0, kHelpText, ""}},
      {{"in.dat", "--", "--help"}, "", {0, finished_summary(2), "", kTwoLines}, {"--help"}},
      {{"-d"}, "", {1, "", "asciify: option '-d' needs a folder\n" + kTry}},
      // Many files into a folder: a summary each, then the total; a failure does not stop it.
      {{"-d", "conv", "in.dat", "section.dat", "failing.dat"}, "", {2,
       named("in.dat", finished_summary(2)) + named("section.dat", kSwappedNote +
           finished_summary(4)) + "Total: 3 files into conv, 1 failed, 7 lines written.\n",
       named("section.dat", wide_value_warning(8, 3)) +
           named("failing.dat", kEndInAscii + end_in_ascii_at(2) + failed_summary(1)),
       kTwoLines + kSectionLines + "a\n"}, {"conv/in.txt", "conv/section.txt", "conv/failing.txt"}},
      {{"-q", "-d", "conv", "failing.dat", "missing.dat", "in.dat"}, "", {2, "",
       named("failing.dat", kEndInAscii + end_in_ascii_at(2) + failed_summary(1)) +
           named("missing.dat", "Couldn't open input binary file missing.dat for reading.\n"
                 "asciify: missing.dat: " + kNoFile), "a\n" + kTwoLines},
       {"conv/failing.txt", "conv/in.txt"}},
      {{"-d", "conv", "in.dat", "sub/in.dat"}, "", {1, "",
       "asciify: in.dat and sub/in.dat would both be converted into conv" + kSeparator +
       "in.txt; nothing was written.\n"}, {"conv"}},
      {{"-q", "-d", ".", "in.txt"}, "", {1, "",
       "asciify: in.txt and ." + kSeparator + "in.txt are the same file; nothing was written.\n",
       kTwoLines}, {"in.txt"}},
      // A look inside, as text and as JSON.
      {{"--list", "in.dat"}, "", {0,
       "Input: in.dat, 20 bytes\nBinary sections: 0\nRecords: none\nASCII lines copied: 2\n"
       "Lines a conversion writes: 2\nFields written as '*': 0\nError: none\n", ""}},
      {{"-l", "--json", "failing.dat"}, "", {2,
       "{\"input\": \"failing.dat\", \"size\": 16, \"compression\": \"plain\", "
       "\"bytes_read\": 16, \"lines\": 1, \"ascii_lines\": 1, "
       "\"starred_fields\": 0, \"sections\": [], \"records\": {\"text_lines\": 0, "
       "\"format_resets\": 0, \"cached_definitions\": 0, \"cached_data\": 0, "
       "\"line_specific_packed\": 0, \"line_specific_plain\": 0}, \"error\": {\"message\": "
       "\"Encountered *END_BINARY when already in ASCII mode.\", \"reason\": null, "
       "\"input_byte\": 2, "
       "\"explanation\": \"a marker that closes a binary section stands where none is open: a "
       "stray marker line in the text, or the section's start is damaged\"}}\n", ""}},
      {{"-l", "missing.dat"}, "", {1, "",
       "Couldn't open input binary file missing.dat for reading.\nasciify: missing.dat: " + kNoFile}},
      // A script that asks for JSON gets one answer also when there is no file.
      {{"-l", "--json", "missing.dat"}, "", {1,
       "{\"input\": \"missing.dat\", \"error\": {\"message\": \"Couldn't open input binary "
       "file missing.dat for reading.\", \"reason\": \"No such file or directory\"}}\n",
       "Couldn't open input binary file missing.dat for reading.\nasciify: missing.dat: " + kNoFile}},
      {{"--json", "in.dat", "out.txt"}, "", {1, "", usage_because("option '--json' goes with '--list'")}},
  };
  // clang-format on
  run_command_cases(cases);
}

// Names are taken and printed in UTF-8 (on Windows the UTF-16 arguments are turned into it).
TEST(CommandLine, FileNamesOutsideAscii) {
  // clang-format off
  const command_case cases[] = {
      {{"Größe.dat", "Ausgabe-ü.txt"}, "", {0, finished_summary(2), "", kTwoLines},
       {"Ausgabe-ü.txt"}},
      {{"Größe-fehlt.dat", "out.txt"}, "", {1, "",
       "Couldn't open input binary file Größe-fehlt.dat for reading.\nasciify: Größe-fehlt.dat: " +
       kNoFile}},
      {{"Größe.dat", "Größe.dat"}, "", {1, "",
       "asciify: Größe.dat and Größe.dat are the same file; nothing was written.\n", kTwoLines},
       {"Größe.dat"}},
      {{"-d", "Ordner-ß", "Größe.dat"}, "", {0, named("Größe.dat", finished_summary(2)) +
       "Total: 1 file into Ordner-ß, 0 failed, 2 lines written.\n", "", kTwoLines},
       {"Ordner-ß/Größe.txt"}},
  };
  // clang-format on
  run_command_cases(cases);
}

// Links, devices, directories and redirections that need a POSIX system and its shell: what
// the script gives, and what out.txt holds afterwards.
TEST(CommandLine, LinksDevicesAndRedirections) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell, symbolic links and /dev/full";
  // clang-format off
  const std::pair<std::string, expected_run> cases[] = {
      {"ln -s in.dat link.dat; \"$ASCIIFY\" in.dat link.dat; s=$?; cat in.dat; exit $s", {1,
       kTwoLines, "asciify: in.dat and link.dat are the same file; nothing was written.\n"}},
      {"\"$ASCIIFY\" in.dat - >> in.dat; s=$?; cat in.dat; exit $s", {1, kTwoLines,
       "asciify: in.dat and - are the same file; nothing was written.\n"}},
      {"\"$ASCIIFY\" - - < in.dat >> in.dat; s=$?; cat in.dat; exit $s", {1, kTwoLines,
       "asciify: - and - are the same file; nothing was written.\n"}},
      {"\"$ASCIIFY\" /dev/null /dev/null", {0, finished_summary(0), ""}},
      {"\"$ASCIIFY\" - - < /dev/null", {0, "", finished_summary(0)}},
      // Nothing reaches a full device: no line was written.
      {"\"$ASCIIFY\" in.dat /dev/full", {2, "",
       "Failed to write 7 bytes to output file at line 1\nasciify: /dev/full: " + kNoSpace +
       failed_summary(0)}},
      {"\"$ASCIIFY\" in.dat - > /dev/full", {2, "",
       "Failed to write 7 bytes to output file at line 1\nasciify: standard output: " + kNoSpace +
       failed_summary(0)}},
      {"\"$ASCIIFY\" --help > /dev/full", {1, "", "Failed to write standard output.\n"}},
      // A summary or a listing that standard output loses fails the run.
      {"\"$ASCIIFY\" in.dat out.txt > /dev/full", {2, "",
       "asciify: standard output: " + kNoSpace, kTwoLines}},
      {"\"$ASCIIFY\" -l in.dat > /dev/full", {2, "", "asciify: standard output: " + kNoSpace}},
      {"\"$ASCIIFY\" -q in.dat out.txt > /dev/full", {0, "", "", kTwoLines}},
      {"'" BINIFY_BINARY "' in.dat out.bin > /dev/full", {2, "",
       "binify: standard output: " + kNoSpace}},
      // Through one pipe, each file's lines come together, in the order of the files.
      {"\"$ASCIIFY\" -d conv in.dat failing.dat section.dat 2>&1", {2,
       named("in.dat", finished_summary(2)) +
       named("failing.dat", kEndInAscii + end_in_ascii_at(2) + failed_summary(1)) +
       named("section.dat", kSwappedNote + wide_value_warning(8, 3) + finished_summary(4)) +
       "Total: 3 files into conv, 1 failed, 7 lines written.\n", ""}},
      // A directory is no input, and its output is not even created.
      {"\"$ASCIIFY\" dir out.txt", {1, "",
       "Couldn't open input binary file dir for reading.\nasciify: dir: Is a directory\n"}},
      {"\"$ASCIIFY\" - out.txt < dir", {1, "",
       "Couldn't open input binary file - for reading.\nasciify: standard input: Is a "
       "directory\n"}},
  };
  // clang-format on
  for (const auto& [script, expected] : cases) {
    scratch_dir dir;
    fill_scratch_dir(dir);
    const command_result result = run_shell(script, dir.path);
    expect_run(result, expected, outputs_in(dir, {"out.txt"}), script);
  }
}

TEST(CommandLine, LargeOutputOnAFullDeviceFailsAtTheLineThatCouldNotBeWritten) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell and /dev/full";
  scratch_dir dir;
  long long lines = 0;
  write_file(dir.file("in.dat"), ascii_lines(1 << 20, &lines));
  for (const char* output : {"/dev/full", "- > /dev/full"}) {
    const command_result result = run_shell("\"$ASCIIFY\" in.dat " + std::string(output), dir.path);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("Failed to write 49 bytes to output file at line 1\n"))
        << result.err;
    EXPECT_TRUE(result.err.ends_with(kNoSpace + failed_summary(0))) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 3) << result.err;
  }
}

// Converts ASCII lines, then formatted lines, into `out` with `limit` (shell commands) before
// the command, where the writing fails part way with `reason`: the file keeps exactly the lines
// counted (a line cut off by the failure is removed again), the message names the first line
// that is missing, and nothing else is left in the folder of `out`.
void expect_exactly_the_lines_counted(const scratch_dir& dir, const std::string& limit,
                                      const std::string& out, const std::string& reason) {
  long long count = 0;
  encoder numbers = encoder{}.line("rows").start_binary().define(71, std::vector<uint8_t>(7, 9));
  for (int32_t row = 0; row < 5000; ++row) numbers.byte(71).i32s({row, 1, -2, 30, 400, -5, 6});
  const std::string inputs[] = {ascii_lines(1 << 20, &count), numbers.end_binary().bytes};
  for (const std::string& input : inputs) {
    write_file(dir.file("in.dat"), input);
    const std::string full = convert_file(input).output;
    // The new text is written beside the old one, which would hold on to its room meanwhile.
    std::filesystem::remove(dir.file(out));
    const command_result result = run_shell(limit + "\"$ASCIIFY\" in.dat " + out, dir.path);
    const std::string kept = read_file(dir.file(out));
    const long long lines = std::count(kept.begin(), kept.end(), '\n');
    EXPECT_EQ(result.status, 2);
    EXPECT_GT(lines, 100);
    EXPECT_TRUE(kept.ends_with('\n') && full.starts_with(kept));
    const size_t next_length = full.find('\n', kept.size()) + 1 - kept.size();
    const std::string line = std::to_string(lines + 1);
    const std::regex failure("Failed to write (" + std::to_string(next_length) +
                             " bytes to output file|output buffer to file \\(only [0-9]+ of " +
                             std::to_string(next_length) + " characters output\\)) at line " +
                             line + "\n");
    const size_t at = result.err.find("asciify: ");
    EXPECT_TRUE(std::regex_match(result.err.substr(0, at), failure)) << result.err;
    EXPECT_EQ(result.err.substr(at), "asciify: " + out + ": " + reason + failed_summary(lines));
    const auto folder = std::filesystem::path(dir.file(out)).parent_path();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}),
              folder == std::filesystem::path(dir.path) ? 2 : 1);
  }
}

// A file system that fills up part way. Needs the right to mount a small tmpfs.
TEST(CommandLine, FullFileSystemKeepsExactlyTheLinesCounted) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell and mount";
  scratch_dir dir;
  std::filesystem::create_directory(dir.file("small"));
  if (run_shell("mount -t tmpfs -o size=64k tmpfs small 2>/dev/null", dir.path).status != 0) {
    GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
  }
  struct unmount_at_end {
    std::string dir;
    ~unmount_at_end() { run_shell("umount small", dir); }
  } unmount{dir.path};
  expect_exactly_the_lines_counted(dir, "", "small/out.txt", kNoSpace);
}

// The process's file size limit: the write past it fails as any write does, rather than the
// signal of the limit ending the program and leaving its temporary file behind. The packer
// fails cleanly too.
TEST(CommandLine, AFileSizeLimitFailsLikeAFullFileSystem) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell";
#ifdef ASCIIFY_EMULATED
  GTEST_SKIP() << "the limit would apply to the emulator; the native build tests it";
#endif
  scratch_dir dir;
  expect_exactly_the_lines_counted(dir, "ulimit -f 128; ", "out.txt", "File too large\n");
  long long lines = 0;
  write_file(dir.file("in.txt"), ascii_lines(1 << 20, &lines));
  const command_result packed = run_shell(
      "ulimit -f 128; '" BINIFY_BINARY "' in.txt out.bin; echo \"status $?\"; ls", dir.path);
  EXPECT_TRUE(packed.err.find("binify: out.bin: File too large\n") != std::string::npos)
      << packed.err;
  EXPECT_TRUE(packed.out.ends_with("status 2\nin.dat\nin.txt\nout.txt\n")) << packed.out;
}

// A run of `program` (a command of the shell) on `in` into `out` within `kib` KiB of address
// space: its status and what is left in the folder afterwards.
command_result run_within(const scratch_dir& dir, const std::string& program, int kib,
                          const std::string& in, const std::string& out) {
  return run_shell("ulimit -v " + std::to_string(kib) + "; " + program + " -q " + in + " " + out +
                       "; echo \"status $?\"; ls",
                   dir.path);
}

// However little memory the system gives, each program either does its work or fails with
// "PROGRAM: out of memory", status 2 and no temporary file left (never an abort), and more
// memory never makes it fail (no thread to be had falls back to one thread). The least memory
// that works is found by halving; the limits below it and the ones far above are tried.
TEST(CommandLine, LittleMemoryFailsCleanlyAndMoreNeverFails) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell";
#ifdef ASCIIFY_EMULATED
  GTEST_SKIP() << "the limit would apply to the emulator; the native build tests it";
#endif
  scratch_dir dir;
  encoder numbers = encoder{}.line("rows").start_binary().define(71, std::vector<uint8_t>(7, 9));
  for (int32_t row = 0; row < 50000; ++row) numbers.byte(71).i32s({row, 1, -2, 30, 400, -5, 6});
  write_file(dir.file("in.dat"), numbers.end_binary().bytes);
  long long count = 0;
  write_file(dir.file("in.txt"), ascii_lines(1 << 20, &count));
  const struct {
    std::string program, in, out, failure;
  } cases[] = {{"\"$ASCIIFY\"", "in.dat", "out.txt", "asciify: out of memory\n"},
               {"'" BINIFY_BINARY "'", "in.txt", "out.bin", "binify: out of memory\n"}};
  int least_for_asciify = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    const auto works = [&](int kib) {
      const command_result result = run_within(dir, c.program, kib, c.in, c.out);
      std::filesystem::remove(dir.file(c.out));
      return result.out.find("status 0\n") != std::string::npos;
    };
    int high = 1 << 16;
    if (!works(high)) GTEST_SKIP() << "needs more address space, as under a sanitizer";
    int low = 1024;
    while (high - low > 32) (works((low + high) / 2) ? high : low) = (low + high) / 2;
    // Down to where the program cannot start (the loader fails), or where the C++ runtime has
    // no room left even to throw (it ends the process before any code of ours can help).
    for (int kib = high - 64; kib > 0; kib -= 64) {
      const command_result result = run_within(dir, c.program, kib, c.in, c.out);
      if (result.err.find("error while loading shared libraries") != std::string::npos ||
          result.err.find("terminate called without an active exception") != std::string::npos) {
        EXPECT_LT(kib, high - 64 * 5) << "clean failures only just below " << high << " KiB";
        break;
      }
      EXPECT_TRUE(result.out.starts_with("status 2\nin.dat\nin.txt\n")) << kib << result.out;
      EXPECT_EQ(result.out.find(".asciify-"), std::string::npos) << result.out;
      EXPECT_EQ(result.out.find(".binify-"), std::string::npos) << result.out;
      EXPECT_TRUE(result.err.starts_with(c.failure)) << kib << " KiB: " << result.err;
      std::filesystem::remove(dir.file(c.out));
    }
    for (int kib = high; kib <= 1 << 15; kib += 1 << 11) EXPECT_TRUE(works(kib)) << kib << " KiB";
    if (least_for_asciify == 0) least_for_asciify = high;
  }
  // Files at once where no thread's stack fits: this thread converts them all.
  write_file(dir.file("in2.dat"), read_file(dir.file("in.dat")));
  const command_result at_once =
      run_shell("ulimit -v " + std::to_string(least_for_asciify + 512) +
                    "; \"$ASCIIFY\" -q -d out -j 2 in.dat in2.dat; echo \"status $?\"; ls out",
                dir.path);
  EXPECT_EQ(at_once.out, "status 0\nin.txt\nin2.txt\n") << at_once.err;
}

// Several files at once print what one at a time prints, in the same order, through one pipe
// for both streams; the texts are the same.
TEST(CommandLine, FilesAtOnceGiveWhatOneAtATimeGives) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell";
  scratch_dir dir;
  fill_scratch_dir(dir);
  std::string names;
  for (uint32_t seed = 1; seed <= 9; ++seed) {
    std::string bytes = make_random_input(seed).bytes;
    // Every third file fails part way, after some of its lines.
    if (seed % 3 == 0) bytes = bytes.substr(0, bytes.size() / 2) + "\n*END_BINARY\n";
    const std::string name = "random" + std::to_string(seed) + ".dat";
    write_file(dir.file(name), bytes);
    names += " " + name;
  }
  names += " section.dat missing.dat failing.dat in.dat";
  const command_result one = run_shell("\"$ASCIIFY\" -d out -j 1" + names + " 2>&1", dir.path);
  const command_result three =
      run_shell("\"$ASCIIFY\" -d out3 --jobs=3" + names + " 2>&1", dir.path);
  EXPECT_EQ(one.status, 2);
  EXPECT_EQ(three.status, one.status);
  EXPECT_NE(one.out.find("Total: 13 files into out, "), std::string::npos) << one.out;
  EXPECT_EQ(std::regex_replace(three.out, std::regex("out3"), "out"), one.out);
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("out"))) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(read_file(dir.file("out3/" + name)) == read_file(entry.path().string())) << name;
  }
}

// ./run takes file names as they are meant in the caller's folder.
TEST(RunScript, NamesAreTakenInTheCallersFolder) {
  if (!kHavePosixShell) GTEST_SKIP() << "./run is a POSIX shell script";
#ifdef ASCIIFY_EMULATED
  GTEST_SKIP() << "./run builds and runs the native program, tested by the native build";
#endif
  if (!std::filesystem::exists(ASCIIFY_SOURCE_DIR "/build/release/programs/asciify/asciify")) {
    GTEST_SKIP() << "./run's build (build/release) is not there yet";
  }
  scratch_dir dir;
  write_file(dir.file("in.dat"), kTwoLines);
  const command_result result = run_shell("'" ASCIIFY_SOURCE_DIR "/run' in.dat out.txt", dir.path);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, finished_summary(2));
  EXPECT_EQ(read_file(dir.file("out.txt")), kTwoLines);
}

TEST(Streams, PipelineGivesTheSameTextAsFiles) {
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell for the pipeline";
  scratch_dir dir;
  long long lines = 0;
  // Several megabytes, so that the pipes fill and the reads come in pieces.
  const std::string head = ascii_lines(3 << 20, &lines);
  write_file(dir.file("in.dat"), head + section_with_wide_value() + "tail\n");
  const command_result result =
      run_shell("cat in.dat | \"$ASCIIFY\" - - | cat > out.txt", dir.path);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            kSwappedNote + wide_value_warning(8, lines + 2) + finished_summary(lines + 3));
  EXPECT_TRUE(read_file(dir.file("out.txt")) == head + kSectionText + "tail\n");
}

// ---------------------------------------------------------------------------------------------
// Progress on a terminal.

// The progress lines drawn: the text after each "\r" that begins like one.
std::vector<std::string> progress_draws(const std::string& received) {
  std::vector<std::string> draws;
  for (size_t at = received.find("\rasciify: "); at != std::string::npos;
       at = received.find("\rasciify: ", at + 1)) {
    const size_t end = received.find_first_of("\r\n", at + 1);
    draws.push_back(received.substr(at + 1, end == std::string::npos ? end : end - at - 1));
  }
  return draws;
}

// The progress tests run asciify on a pseudo-terminal, which Windows does not have; there the
// console code draws the line.
#ifdef _WIN32
#define SKIP_WITHOUT_PSEUDO_TERMINALS() GTEST_SKIP() << "needs a pseudo-terminal (POSIX)"
#else
#define SKIP_WITHOUT_PSEUDO_TERMINALS() static_cast<void>(0)
#endif

// Runs `script` on a terminal in the scratch directory `dir`.
terminal_result in_terminal(const scratch_dir& dir, const std::string& script) {
  return run_in_terminal("cd '" + dir.path + "' && (" + script + ")");
}

// The display itself is tested on a clock of its own in driver/progress_test.cpp.
TEST(Progress, ShownAndErasedBeforeTheSummary) {
  SKIP_WITHOUT_PSEUDO_TERMINALS();
  scratch_dir dir;
  long long lines = 0;
  const std::string input = ascii_lines(1 << 20, &lines);
  write_file(dir.file("in.dat"), input);
  const std::regex known_size(
      R"(asciify: \d+\.\d of 1\.0 MB, \d+%, \d+\.\d MB/s, \d+ lines?(, \d+:\d\d left)? *)");
  const std::regex unknown_size(R"(asciify: \d+\.\d MB, \d+\.\d MB/s, \d+ lines? *)");
  for (const auto& [script, pattern] :
       {std::pair{"\"$ASCIIFY\" in.dat out.txt", known_size},
        std::pair{"cat in.dat | \"$ASCIIFY\" - out.txt", unknown_size},
        std::pair{"\"$ASCIIFY\" in.dat - > out.txt", known_size}}) {
    const terminal_result result = in_terminal(dir, script);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(read_file(dir.file("out.txt")) == input);
    // The terminal ends up showing the summary alone.
    EXPECT_EQ(screen_lines(result.received), screen_lines(finished_summary(lines))) << script;
    const std::vector<std::string> draws = progress_draws(result.received);
    ASSERT_FALSE(draws.empty()) << script;
    for (const std::string& draw : draws) {
      EXPECT_TRUE(std::regex_match(draw, pattern)) << draw;
      EXPECT_LT(draw.size(), 80u);
    }
    EXPECT_LT(result.received.rfind("\rasciify: "), result.received.find("Finished"));
  }
  // None with the text on the terminal.
  write_file(dir.file("in.dat"), "a\nb\n");
  const terminal_result text_shown = in_terminal(dir, "\"$ASCIIFY\" in.dat -");
  EXPECT_EQ(text_shown.status, 0);
  EXPECT_EQ(text_shown.received, "a\nb\n" + finished_summary(2));
}

TEST(Progress, NothingWhenStandardErrorIsNoTerminal) {
  set_environment("ASCIIFY_PROGRESS_DELAY_MS", "0");
  scratch_dir dir;
  long long lines = 0;
  const std::string text = ascii_lines(1 << 20, &lines);
  write_file(dir.file("in.dat"), text + "*END_BINARY\n");
  for (const std::string& output : {dir.file("out.txt"), std::string("-")}) {
    const command_result result = run_command({dir.file("in.dat"), output});
    EXPECT_EQ(result.status, 2);
    if (output != "-") {
      EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(result.err, kEndInAscii + end_in_ascii_at(text.size()) + failed_summary(lines));
  }
  set_environment("ASCIIFY_PROGRESS_DELAY_MS", nullptr);
}

}  // namespace
}  // namespace asciify::test_support
