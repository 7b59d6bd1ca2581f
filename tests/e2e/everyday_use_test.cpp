// What users expect around the conversion: help and version, "-" for standard input and
// output, pipes, and a progress line on the terminal that never mixes with the messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/conversion_case.h"
#include "tests/e2e/run_asciify.h"
#include "tests/e2e/terminal_runner.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

const std::string kUsage = "Format is <input binary filename> <output ascii filename>\n";
const std::string kSwapped =
    "Info: file is endian-swapped wrt. this computer's hardware, that is OK.\n";
const std::string kVersion = std::string("asciify ") + ASCIIFY_VERSION + "\n";

// Quotes a path for /bin/sh.
std::string shell_quoted(const std::string& path) {
  return "'" + path + "'";
}

// ASCII lines adding up to at least `bytes` bytes; `count` receives their number.
std::string ascii_lines(size_t bytes, long long* count) {
  std::string text;
  *count = 0;
  while (text.size() < bytes) {
    text += "line " + std::to_string(*count) + " of a long input, with some words after it\n";
    ++*count;
  }
  return text;
}

// A binary section in the reverse byte order whose second record holds a value too wide for
// its field. Converted, it yields the lines of `section_text`.
const std::string kSectionText = "       1   2\n********   7\n";
std::string section_with_wide_value() {
  return encoder{}
      .start_binary(order::reversed)
      .define(71, {0x08, 0x04})
      .byte(71)
      .i32(1)
      .i32(2)
      .byte(71)
      .i32(123456789)
      .i32(7)
      .end_binary()
      .bytes;
}

std::string wide_value_warning(long long line) {
  return "Warning: value too wide for its 8-column field at line " + std::to_string(line) +
         ", written as '*'\n";
}

// Lines of `text`, each without its end-of-line byte, as screen_lines gives them.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

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

// Sets an environment variable for the scope of a test.
struct scoped_env {
  std::string name;
  scoped_env(const std::string& variable, const std::string& value) : name(variable) {
    setenv(name.c_str(), value.c_str(), 1);
  }
  ~scoped_env() { unsetenv(name.c_str()); }
};

// ---------------------------------------------------------------------------------------------
// Help and version.

struct option_case {
  std::vector<std::string> args;
  int status;
  std::string out;  // "help": the help text, checked by its parts
  std::string err;
};

TEST(Options, HelpVersionAndEverythingElse) {
  const option_case cases[] = {
      {{"--help"}, 0, "help", ""},
      {{"-h"}, 0, "help", ""},
      {{"--version"}, 0, kVersion, ""},
      {{"-V"}, 0, kVersion, ""},
      {{"--bogus"}, 1, "", kUsage},
      {{"-v"}, 1, "", kUsage},
      {{"--HELP"}, 1, "", kUsage},
      {{"-"}, 1, "", kUsage},
      {{""}, 1, "", kUsage},
      // With an output name every argument is a file name.
      {{"--help", "/nonexistent-dir/out.txt"},
       1,
       "",
       "Couldn't open input binary file --help for reading.\n"},
      {{"--version", "-h"}, 1, "", "Couldn't open input binary file --version for reading.\n"},
  };
  for (const option_case& c : cases) {
    const std::string call = c.args.empty() ? "" : c.args[0];
    const command_result result = run_command(c.args);
    EXPECT_EQ(result.status, c.status) << call;
    EXPECT_EQ(result.err, c.err) << call;
    if (c.out == "help") {
      EXPECT_EQ(result.out.rfind("Usage: asciify IN OUT\n", 0), 0u) << result.out;
      for (const char* part : {"--help", "--version", "standard input", "standard output",
                               "Exit status", "asciify(1)"}) {
        EXPECT_NE(result.out.find(part), std::string::npos) << part;
      }
    } else {
      EXPECT_EQ(result.out, c.out) << call;
    }
  }
}

TEST(Options, HelpThatCannotBeWrittenFails) {
  const command_result result = run_shell("\"$ASCIIFY\" --help > /dev/full");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Failed to write standard output.\n");
}

TEST(Options, FilesNamedLikeOptionsAreConverted) {
  scratch_dir dir;
  write_file(dir.file("-h"), "one\n");
  write_file(dir.file("--version"), "two\n");
  const command_result result = run_shell("cd " + shell_quoted(dir.path) +
                                          " && \"$ASCIIFY\" -h -V && \"$ASCIIFY\" --version "
                                          "--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, finished(1) + finished(1));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(read_file(dir.file("-V")), "one\n");
  EXPECT_EQ(read_file(dir.file("--help")), "two\n");
}

// ---------------------------------------------------------------------------------------------
// Standard input and standard output.

struct stream_case {
  std::string name;
  std::string input;
  std::string text;    // converted text
  std::string out;     // standard output when OUT is a file
  std::string err;     // standard error when OUT is a file
  std::string merged;  // standard error when OUT is "-": the notes join the messages
  int status;
};

std::vector<stream_case> stream_cases() {
  const std::string end_in_ascii = "Encountered *END_BINARY when already in ASCII mode.\n";
  return {
      {"ascii lines", "one\ntwo\n", "one\ntwo\n", finished(2), "", finished(2), 0},
      {"empty input", "", "", finished(0), "", finished(0), 0},
      {"reversed byte order", "a\n" + section_with_wide_value() + "b\n",
       "a\n" + kSectionText + "b\n", kSwapped + finished(4), wide_value_warning(3),
       kSwapped + wide_value_warning(3) + finished(4), 0},
      {"failure keeps the lines before it", "a\n*END_BINARY\nb\n", "a\n", "",
       end_in_ascii + failed(1), end_in_ascii + failed(1), 2},
  };
}

TEST(Streams, InputFromStandardInput) {
  for (const stream_case& c : stream_cases()) {
    scratch_dir dir;
    write_file(dir.file("in.dat"), c.input);
    const command_result result = run_command({"-", dir.file("out.txt")}, dir.file("in.dat"));
    EXPECT_EQ(read_file(dir.file("out.txt")), c.text) << c.name;
    EXPECT_EQ(result.out, c.out) << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
  }
}

TEST(Streams, OutputToStandardOutputMovesTheNotesToStandardError) {
  for (const stream_case& c : stream_cases()) {
    scratch_dir dir;
    write_file(dir.file("in.dat"), c.input);
    const command_result result = run_command({dir.file("in.dat"), "-"});
    EXPECT_EQ(result.out, c.text) << c.name;
    EXPECT_EQ(result.err, c.merged) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
  }
}

TEST(Streams, BothStandardStreams) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "x\n" + section_with_wide_value());
  const command_result result = run_command({"-", "-"}, dir.file("in.dat"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "x\n" + kSectionText);
  EXPECT_EQ(result.err, kSwapped + wide_value_warning(3) + finished(3));
}

TEST(Streams, MessagesNameStandardStreamsAsDash) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a line\nanother line\n");
  const command_result full =
      run_shell("\"$ASCIIFY\" " + shell_quoted(dir.file("in.dat")) + " - > /dev/full");
  EXPECT_EQ(full.status, 2);
  EXPECT_EQ(full.out, "");
  EXPECT_EQ(full.err, "Failed to write output file -.\n" + failed(2));

  // A directory as standard input opens but cannot be read.
  const command_result unreadable = run_shell(
      "\"$ASCIIFY\" - " + shell_quoted(dir.file("out.txt")) + " < " + shell_quoted(dir.path));
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_EQ(unreadable.out, "");
  EXPECT_EQ(unreadable.err, "Failed to read input file -.\n" + failed(0));
}

TEST(Streams, LargeOutputToFullStandardOutputFailsAtTheLineThatCouldNotBeWritten) {
  scratch_dir dir;
  long long lines = 0;
  write_file(dir.file("in.dat"), ascii_lines(1 << 20, &lines));
  const command_result result =
      run_shell("\"$ASCIIFY\" " + shell_quoted(dir.file("in.dat")) + " - > /dev/full");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err.rfind("Failed to write ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find("File conversion failed after writing "), std::string::npos);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
}

TEST(Streams, PipelineGivesTheSameTextAsFiles) {
  scratch_dir dir;
  long long lines = 0;
  // Several megabytes, so that the pipes fill and the reads come in pieces.
  const std::string head = ascii_lines(3 << 20, &lines);
  write_file(dir.file("in.dat"), head + section_with_wide_value() + "tail\n");
  const std::string expected = head + kSectionText + "tail\n";
  const std::string in = shell_quoted(dir.file("in.dat"));
  const std::string out = shell_quoted(dir.file("out.txt"));

  const command_result through = run_shell("cat " + in + " | \"$ASCIIFY\" - - | cat > " + out);
  EXPECT_EQ(through.status, 0);
  EXPECT_EQ(through.out, "");
  EXPECT_EQ(through.err, kSwapped + wide_value_warning(lines + 2) + finished(lines + 3));
  EXPECT_TRUE(read_file(dir.file("out.txt")) == expected);

  const command_result compressed =
      run_shell("gzip -c " + in + " > " + shell_quoted(dir.file("in.gz")) + " && gzip -dc " +
                shell_quoted(dir.file("in.gz")) + " | \"$ASCIIFY\" - " + out);
  EXPECT_EQ(compressed.status, 0);
  EXPECT_EQ(compressed.out, kSwapped + finished(lines + 3));
  EXPECT_EQ(compressed.err, wide_value_warning(lines + 2));
  EXPECT_TRUE(read_file(dir.file("out.txt")) == expected);
}

// ---------------------------------------------------------------------------------------------
// Progress on a terminal.

TEST(TerminalHelper, ScreenLinesFollowCarriageReturns) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {"a", "b"}},
      {"\rprogress 1\rprogress 22\r            \rdone\n", {"done"}},
      {"\rprogress\rok\n", {"okogress"}},
      {"left over", {"left over"}},
      {"\rdrawn\r     \r", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(screen_lines(c.bytes), c.lines) << c.bytes;
}

TEST(Progress, ShownAndErasedBeforeTheSummary) {
  scratch_dir dir;
  long long lines = 0;
  const std::string input = ascii_lines(1 << 20, &lines);
  write_file(dir.file("in.dat"), input);
  const terminal_result result = run_in_terminal(
      {ASCIIFY_BINARY, dir.file("in.dat"), dir.file("out.txt")}, {"ASCIIFY_PROGRESS_DELAY_MS=0"});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(read_file(dir.file("out.txt")) == input);
  // The terminal ends up showing the summary alone.
  EXPECT_EQ(screen_lines(result.received), lines_of(finished(lines))) << result.received;
  const std::vector<std::string> draws = progress_draws(result.received);
  ASSERT_FALSE(draws.empty()) << result.received;
  const std::regex known_size(
      R"(asciify: \d+\.\d of 1\.0 MB, \d+%, \d+\.\d MB/s, \d+ lines?(, \d+:\d\d left)? *)");
  for (const std::string& draw : draws) {
    EXPECT_TRUE(std::regex_match(draw, known_size)) << draw;
    EXPECT_LT(draw.size(), 80u);
  }
  EXPECT_LT(result.received.rfind("\rasciify: "), result.received.find("Finished"));
}

TEST(Progress, OfUnknownSizeFromAPipe) {
  scratch_dir dir;
  long long lines = 0;
  write_file(dir.file("in.dat"), ascii_lines(1 << 20, &lines));
  const terminal_result result =
      run_in_terminal({"/bin/sh", "-c",
                       "cat " + shell_quoted(dir.file("in.dat")) + " | \"$ASCIIFY\" - " +
                           shell_quoted(dir.file("out.txt"))},
                      {"ASCIIFY_PROGRESS_DELAY_MS=0", std::string("ASCIIFY=") + ASCIIFY_BINARY});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(screen_lines(result.received), lines_of(finished(lines))) << result.received;
  const std::vector<std::string> draws = progress_draws(result.received);
  ASSERT_FALSE(draws.empty()) << result.received;
  const std::regex unknown_size(R"(asciify: \d+\.\d MB, \d+\.\d MB/s, \d+ lines? *)");
  for (const std::string& draw : draws) {
    EXPECT_TRUE(std::regex_match(draw, unknown_size)) << draw;
  }
}

TEST(Progress, NothingForARunShorterThanASecond) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a\nb\n");
  const terminal_result result =
      run_in_terminal({ASCIIFY_BINARY, dir.file("in.dat"), dir.file("out.txt")});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.received, finished(2));
}

TEST(Progress, MessagesDuringTheRunLandOnCleanLines) {
  scratch_dir dir;
  long long lines = 0;
  // The warning comes early; after a pause the rest follows, so that the display refreshes
  // with the warning waiting and then draws again below it.
  const std::string first = "a\n" + section_with_wide_value() + ascii_lines(64 << 10, &lines);
  long long more = 0;
  const std::string second = ascii_lines(2 << 20, &more);
  write_file(dir.file("first"), first);
  write_file(dir.file("second"), second);
  const terminal_result result =
      run_in_terminal({"/bin/sh", "-c",
                       "{ cat " + shell_quoted(dir.file("first")) + "; sleep 0.5; cat " +
                           shell_quoted(dir.file("second")) + "; } | \"$ASCIIFY\" - " +
                           shell_quoted(dir.file("out.txt"))},
                      {"ASCIIFY_PROGRESS_DELAY_MS=0", std::string("ASCIIFY=") + ASCIIFY_BINARY});
  EXPECT_EQ(result.status, 0);
  const long long total = 1 + 2 + lines + more;
  EXPECT_EQ(screen_lines(result.received),
            lines_of(kSwapped + wide_value_warning(3) + finished(total)))
      << result.received;
  // Drawn before the warning, and again after it.
  const size_t warning = result.received.find("Warning:");
  ASSERT_NE(warning, std::string::npos);
  EXPECT_LT(result.received.find("\rasciify: "), warning);
  EXPECT_GT(result.received.rfind("\rasciify: "), warning) << result.received;
}

TEST(Progress, ErasedBeforeAnError) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a\n*END_BINARY\n");
  const terminal_result result = run_in_terminal(
      {ASCIIFY_BINARY, dir.file("in.dat"), dir.file("out.txt")}, {"ASCIIFY_PROGRESS_DELAY_MS=0"});
  EXPECT_EQ(result.status, 2);
  EXPECT_FALSE(progress_draws(result.received).empty()) << result.received;
  EXPECT_EQ(screen_lines(result.received),
            lines_of("Encountered *END_BINARY when already in ASCII mode.\n" + failed(1)))
      << result.received;
}

TEST(Progress, ErasedWhenTheRunIsTerminated) {
  scratch_dir dir;
  long long lines = 0;
  write_file(dir.file("in.dat"), ascii_lines(64 << 10, &lines));
  // The input stalls after its first part; the run is ended while it waits.
  const terminal_result result =
      run_in_terminal({"/bin/sh", "-c",
                       "{ cat " + shell_quoted(dir.file("in.dat")) +
                           "; sleep 1.5; } | \"$ASCIIFY\" - " + shell_quoted(dir.file("out.txt")) +
                           " & pid=$!; sleep 0.5; kill -TERM $pid; wait $pid; echo \"status $?\""},
                      {"ASCIIFY_PROGRESS_DELAY_MS=0", std::string("ASCIIFY=") + ASCIIFY_BINARY});
  EXPECT_FALSE(progress_draws(result.received).empty()) << result.received;
  const std::vector<std::string> screen = screen_lines(result.received);
  ASSERT_FALSE(screen.empty()) << result.received;
  EXPECT_EQ(screen.back(), "status 143");
  for (const std::string& line : screen) {
    EXPECT_EQ(line.find("asciify:"), std::string::npos) << line;
  }
}

TEST(Progress, NotShownWhenTheTextGoesToTheTerminal) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a\nb\n");
  const terminal_result result =
      run_in_terminal({ASCIIFY_BINARY, dir.file("in.dat"), "-"}, {"ASCIIFY_PROGRESS_DELAY_MS=0"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.received, "a\nb\n" + finished(2));
}

TEST(Progress, ShownWhenTheTextGoesToAFileThroughStandardOutput) {
  scratch_dir dir;
  write_file(dir.file("in.dat"), "a\nb\n");
  const terminal_result result =
      run_in_terminal({"/bin/sh", "-c",
                       "\"$ASCIIFY\" " + shell_quoted(dir.file("in.dat")) + " - > " +
                           shell_quoted(dir.file("out.txt"))},
                      {"ASCIIFY_PROGRESS_DELAY_MS=0", std::string("ASCIIFY=") + ASCIIFY_BINARY});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(read_file(dir.file("out.txt")), "a\nb\n");
  EXPECT_FALSE(progress_draws(result.received).empty()) << result.received;
  EXPECT_EQ(screen_lines(result.received), lines_of(finished(2)));
}

TEST(Progress, NothingWhenStandardErrorIsNoTerminal) {
  const scoped_env delay("ASCIIFY_PROGRESS_DELAY_MS", "0");
  scratch_dir dir;
  long long lines = 0;
  write_file(dir.file("in.dat"), ascii_lines(1 << 20, &lines) + "*END_BINARY\n");
  const command_result result = run_command({dir.file("in.dat"), dir.file("out.txt")});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Encountered *END_BINARY when already in ASCII mode.\n" + failed(lines));
  const command_result piped = run_command({dir.file("in.dat"), "-"});
  EXPECT_EQ(piped.err, "Encountered *END_BINARY when already in ASCII mode.\n" + failed(lines));
}

}  // namespace
}  // namespace asciify::testing
