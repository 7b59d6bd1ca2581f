// Opening a program's input and output by the names on its command line, with the messages of
// a failure, and reading the whole input into the program's converter or packer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/message_log.h"
#include "cli/messages.h"
#include "cli/output_file.h"
#include "input/input_stream.h"

namespace asciify::cli {

class progress_display;

// An input opened by its name, or the message and the system's reason why it could not be.
struct named_input {
  input_handle stream;
  std::string message;  // "Couldn't open input binary file NAME for reading."
  std::string reason;   // "No such file or directory"
};

// Opens the input, which must be something that can be read as a file; a compressed one is
// decompressed as it is read unless `options` say otherwise.
named_input try_open_input(const program_words& words, const char* name,
                           const input_options& options);

// Prints why `opened` could not be opened: its message, then "PROGRAM: NAME: REASON".
void print_open_failure(const program_words& words, const char* name, const named_input& opened,
                        message_log& log);

// As try_open_input, printing the message and the reason to `log` when it fails. Returns
// nothing then.
input_handle open_input(const program_words& words, const char* name, const input_options& options,
                        message_log& log);

// The identity of the open input, to keep an output from being the input itself.
file_identity identity_of_input(const input_stream& input);

// Opens the output `output_name` ("-": standard output), unless it is the input itself, which
// opening would empty. With a `beside_suffix` a regular file is written beside its name
// (settle_destination puts it in place). Returns false after the messages.
bool open_output_for(const program_words& words, const char* input_name, const input_stream& input,
                     const char* output_name, const char* beside_suffix, destination* target,
                     message_log& log);

// What takes the input's bytes: `take` returns false to stop; `lines` tells the display how
// many lines were made so far.
struct input_consumer {
  bool (*take)(void* context, const uint8_t* bytes, size_t size) = nullptr;
  int64_t (*lines)(void* context) = nullptr;
  void* context = nullptr;
};

// Hands the whole input to `consumer`, piece by piece, until it ends, fails or the consumer
// stops, and tells the display (when there is one) how far it is.
void pump_input(input_stream& input, input_consumer consumer, progress_display* progress);

}  // namespace asciify::cli
