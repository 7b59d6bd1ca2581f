// How a program of the kit names itself and its files in the messages about them.
#pragma once

namespace asciify::cli {

struct message_log;

struct program_words {
  const char* program;      // "asciify": the start of the lines that give a system's reason
  const char* input_kind;   // "binary": "Couldn't open input binary file NAME for reading."
  const char* output_kind;  // "ascii": "Couldn't open output ascii file NAME for writing."
};

// The name "-": standard input as an input, standard output as an output.
bool is_standard_stream(const char* name);

// How a name is shown in the line that gives the system's reason for a failure: "-" as
// `standard_stream` ("standard input").
const char* reason_name(const char* name, const char* standard_stream);

// Prints "PROGRAM: NAME: REASON" on standard error (through `log`) for the system's error
// number `error`.
void print_reason(const program_words& words, const char* name, int error, message_log& log);

// Runs a program's `run`. An exception that nothing below handled (no memory left) is printed
// as "PROGRAM: REASON" and ends the run with status 2, instead of aborting the process.
int run_guarded(const char* program, int (*run)(int, char**), int argc, char** argv);

// Flushes standard output at the end of a run whose exit status is `status`. When what went
// there (a summary, a listing) was lost, prints "PROGRAM: standard output: REASON" and returns
// at least 2; else returns `status`.
int checked_standard_output(const char* program, int status);

}  // namespace asciify::cli
