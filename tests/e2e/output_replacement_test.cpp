// OUT is replaced whole or not at all: written beside its name and moved into place at the end
// of the run, or left as it was when a signal ends the run; what is no plain file of one name
// is written in place. Both programs, through the built executables.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/run_asciify.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace asciify::test_support {
namespace {

// Signals, links, modes and FIFOs are POSIX: on Windows none of these cases runs.
#ifndef _WIN32

// Lines of plain text, as many as asked.
std::string text_lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "a plain line of text, number " + std::to_string(i) + "\n";
  return text;
}

// The names in the folder, sorted.
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Whether a file of the folder has `part` in its name.
bool has_name_with(const std::string& folder, const std::string& part) {
  for (const std::string& name : names_in(folder)) {
    if (name.find(part) != std::string::npos) return true;
  }
  return false;
}

// Runs `program - out.txt` in `folder`, fed through a pipe with lines that leave it waiting
// for more; once its temporary file is there, sends `signal_number`. Returns the signal that
// ended it (0 when it exited).
int interrupt_piped_run(const std::string& program, const std::string& folder, int signal_number) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], 0);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const std::string out = folder + "/out.txt";
  std::vector<std::string> argv{program, "-", out};
  std::vector<char*> pointers;
  for (std::string& word : argv) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, &attributes, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipe_ends[0]);
  if (spawned != 0) return -1;
  const std::string lines = text_lines(200);
  const bool fed =
      write(pipe_ends[1], lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
  for (int wait = 0;
       wait < 500 && !has_name_with(folder, ".out.txt") && !has_name_with(folder, "out.txt.");
       ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(fed);
  EXPECT_TRUE(has_name_with(folder, "out.txt.")) << "no temporary file appeared";
  kill(pid, signal_number);
  int status = 0;
  waitpid(pid, &status, 0);
  close(pipe_ends[1]);
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

TEST(OutputReplacement, ASignalLeavesTheOldOutAndTheFolderAsTheyWere) {
#ifdef ASCIIFY_EMULATED
  GTEST_SKIP() << "the signal would reach the emulator's wrapper, not the program; the native "
                  "build tests it";
#endif
  for (const char* program : {ASCIIFY_BINARY, BINIFY_BINARY}) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(std::string(program) + ", signal " + std::to_string(signal_number));
      scratch_dir dir;
      dir.write("out.txt", "an older file\n");
      EXPECT_EQ(interrupt_piped_run(program, dir.path, signal_number), signal_number);
      EXPECT_EQ(read_file(dir.file("out.txt")), "an older file\n");
      EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"out.txt"});
    }
  }
}

// A signal while several files are converted at once removes every temporary file: two inputs
// are pipes, fed a little, so both conversions are under way when it comes.
TEST(OutputReplacement, ASignalRemovesTheTemporaryFilesOfFilesAtOnce) {
#ifdef ASCIIFY_EMULATED
  GTEST_SKIP() << "the signal would reach the emulator's wrapper, not the program";
#endif
  if (!kHavePosixShell) GTEST_SKIP() << "needs a POSIX shell and named pipes";
  scratch_dir dir;
  const command_result run = run_shell(
      "mkfifo p1.dat p2.dat\n"
      "\"$ASCIIFY\" -q -d out -j 2 p1.dat p2.dat & pid=$!\n"
      "exec 3>p1.dat 4>p2.dat\n"
      "printf 'a first line of text\\nand a second\\n' >&3\n"
      "printf 'another first line\\nand a second\\n' >&4\n"
      "for i in $(seq 400); do [ \"$(ls out | wc -l)\" -eq 2 ] && break; sleep 0.02; done\n"
      "ls out | wc -l; kill -TERM $pid; wait $pid; echo \"status $?\"; ls -A out",
      dir.path);
  EXPECT_EQ(run.out, "2\nstatus 143\n") << run.err;
}

// Two runs into one OUT at once: it ends up as one of the two texts, whole.
TEST(OutputReplacement, TwoRunsIntoOneOutLeaveOneWholeText) {
  scratch_dir dir;
  const std::string a = text_lines(200'000), b = "other words\n" + text_lines(150'000);
  dir.write("a.dat", a);
  dir.write("b.dat", b);
  const command_result run =
      run_shell("\"$ASCIIFY\" -q a.dat out.txt & \"$ASCIIFY\" -q b.dat out.txt; wait", dir.path);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string out = read_file(dir.file("out.txt"));
  EXPECT_TRUE(out == a || out == b) << out.size() << " bytes";
  EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"a.dat", "b.dat", "out.txt"}));
}

// An OUT whose name is as long as a name may be (255 bytes) is replaced too, through a short
// temporary name beside it, for both programs: FILE + suffix would be too long.
TEST(OutputReplacement, AnOutOfTheLongestNameIsReplacedThroughAShortTemporaryName) {
  scratch_dir dir;
  const std::string text = text_lines(1000);
  dir.write("in.txt", text);
  const std::string packed_name = std::string(251, 'p') + ".bin";
  const std::string text_name = std::string(251, 't') + ".txt";
  dir.write(packed_name, "old bytes");
  dir.write(text_name, "old text");
  const command_result run = run_shell("'" BINIFY_BINARY "' -q in.txt " + packed_name +
                                           " && \"$ASCIIFY\" -q " + packed_name + " " + text_name,
                                       dir.path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir.file(text_name)), text);
  EXPECT_NE(read_file(dir.file(packed_name)), "old bytes");
  EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"in.txt", packed_name, text_name}));
}

// An OUT that whoever runs the program may not write is refused, as opening it for writing would
// be, and stays as it was, although its folder would take a new file beside it. (Root may write
// any file: as root the programs run as an unprivileged user, where the system allows it.)
TEST(OutputReplacement, AnOutThatMayNotBeWrittenIsRefusedAndKept) {
  scratch_dir dir;
  dir.write("in.dat", text_lines(10));
  std::string as_user;
  if (geteuid() == 0) {
    as_user = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    if (run_shell("chmod 777 . && " + as_user + "\"$ASCIIFY\" --version", dir.path).status != 0) {
      GTEST_SKIP() << "cannot run the program as an unprivileged user here";
    }
  }
  const struct {
    std::string program, kind, name;
  } cases[] = {{"\"$ASCIIFY\"", "ascii", "asciify"}, {"'" BINIFY_BINARY "'", "binary", "binify"}};
  for (const auto& c : cases) {
    dir.write("out.txt", "protected\n");
    const command_result run =
        run_shell("chmod 444 out.txt && " + as_user + c.program + " -q in.dat out.txt", dir.path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Couldn't open output " + c.kind + " file out.txt for writing.\n" + c.name +
                           ": out.txt: Permission denied\n");
    EXPECT_EQ(read_file(dir.file("out.txt")), "protected\n");
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"in.dat", "out.txt"}));
    std::filesystem::remove(dir.file("out.txt"));
  }
}

// Another user's file that anyone may write, in a folder with the sticky bit (as /tmp), which
// would refuse to let it be replaced: it is written in place. Needs root, to run the program as
// an unprivileged user on root's file.
TEST(OutputReplacement, AnotherUsersFileInAStickyFolderIsWrittenInPlace) {
  scratch_dir dir;
  const std::string text = text_lines(10);
  dir.write("in.dat", text);
  dir.write("out.txt", "theirs\n");
  const std::string as_user = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
  if (geteuid() != 0 ||
      run_shell("chmod 1777 . && chmod 666 out.txt && " + as_user + "\"$ASCIIFY\" --version",
                dir.path)
              .status != 0) {
    GTEST_SKIP() << "needs root and an unprivileged user to run the program as";
  }
  const command_result run = run_shell(as_user + "\"$ASCIIFY\" -q in.dat out.txt", dir.path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir.file("out.txt")), text);
  EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"in.dat", "out.txt"}));
}

// A text that cannot be moved into place at the end (here a folder took OUT's name meanwhile)
// fails the run before its summary, which then says so, and no temporary file is left.
TEST(OutputReplacement, AFailedMoveIntoPlaceFailsTheRun) {
  scratch_dir dir;
  dir.write("lines.txt", text_lines(3000));
  const command_result run = run_shell(
      "{ cat lines.txt; for i in $(seq 200); do [ -e out.txt.asciify-0 ] && break; sleep 0.05; "
      "done; mkdir out.txt; echo last; } | \"$ASCIIFY\" - out.txt; echo \"status $?\"",
      dir.path);
  EXPECT_EQ(run.out, "status 2\n");
  EXPECT_EQ(run.err, "Failed to write output file out.txt.\nasciify: out.txt: Is a directory\n" +
                         std::string("File conversion failed after writing 3001 lines.\n"));
  EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"lines.txt", "out.txt"}));
}

// What OUT is decides how it is written: a plain file is replaced keeping its mode, a link's
// target gets the text and the link stays, a file of two names and a FIFO are written in place.
TEST(OutputReplacement, KeepsModeLinksAndWritesInPlaceWhatIsNoPlainFile) {
  const struct {
    const char* setup;  // shell commands in a folder holding in.dat (two lines)
    const char* run;    // the conversion
    const char* check;  // prints what is compared with `expected`
    const char* expected;
  } cases[] = {
      {"echo old > out.txt && chmod 640 out.txt", "\"$ASCIIFY\" -q in.dat out.txt",
       "stat -c %a out.txt && cat out.txt && ls", "640\none\ntwo\nin.dat\nout.txt\n"},
      {"echo old > out.txt && chmod 604 out.txt", "\"$BINIFY\" -q in.dat out.txt",
       "stat -c %a out.txt && \"$ASCIIFY\" -q out.txt - && ls", "604\none\ntwo\nin.dat\nout.txt\n"},
      {"mkdir sub && echo old > sub/real.txt && ln -s sub/real.txt out.txt",
       "\"$ASCIIFY\" -q in.dat out.txt", "test -L out.txt && cat sub/real.txt && ls . sub",
       "one\ntwo\n.:\nin.dat\nout.txt\nsub\n\nsub:\nreal.txt\n"},
      {"mkdir sub && ln -s sub/new.txt out.txt", "\"$ASCIIFY\" -q in.dat out.txt",
       "test -L out.txt && cat sub/new.txt", "one\ntwo\n"},
      {"echo old > out.txt && ln out.txt other.txt", "\"$ASCIIFY\" -q in.dat out.txt",
       "cat other.txt && stat -c %h out.txt", "one\ntwo\n2\n"},
      {"mkfifo out.fifo", "cat out.fifo > got.txt & \"$ASCIIFY\" -q in.dat out.fifo; wait",
       "test -p out.fifo && cat got.txt", "one\ntwo\n"},
      {"mkfifo packed.fifo", "cat packed.fifo > got.txt & \"$BINIFY\" -q in.dat packed.fifo; wait",
       "test -p packed.fifo && \"$ASCIIFY\" -q got.txt -", "one\ntwo\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    scratch_dir dir;
    dir.write("in.dat", "one\ntwo\n");
    const std::string script = std::string("BINIFY='") + BINIFY_BINARY + "'; " + c.setup +
                               " && { " + c.run + "; } && " + c.check;
    const command_result run = run_shell(script, dir.path);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.expected);
  }
}

#endif

}  // namespace
}  // namespace asciify::test_support
