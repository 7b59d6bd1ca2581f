// The converter: turns a file in which stretches of text lines are binary-encoded back into its
// text. The file's bytes are fed in pieces of any size; the text goes to a byte sink as it is
// made, the messages to a message sink, exactly as the asciify command writes them; memory stays
// bounded whatever the input. A converter is used by one thread at a time; converters are
// independent of each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "asciify/export.h"
#include "asciify/sinks.h"

namespace asciify {

struct convert_options {
  // Names of the input and the output in messages ("Failed to read input file NAME.", and the
  // lines that give the system's reason, "asciify: NAME: REASON"; empty: as the other name).
  std::string input_name = "input";
  std::string input_reason_name;
  std::string output_name = "output";
  // Leave out the notes (the byte-order note and "Finished ..."); never a warning or an error.
  bool quiet = false;
  // An input that starts with the signature of a gzip, xz or zstd stream is decompressed as it
  // is fed; input byte offsets in messages then count decompressed bytes.
  bool decompress = true;
  // Render and write the lines on a second thread while the caller feeds on; the text and the
  // messages are the same. The text sink is then called from that thread (never from two
  // threads at once); the message sink always from the caller's.
  bool second_thread = false;
  // Bytes of text held before they go to the sink (at least 64 KiB), and whether each line goes
  // to it as soon as it is complete (for a terminal).
  size_t buffer_size = size_t{1} << 18;
  bool line_buffered = false;
  // Put with ": " before the summary line (a run over many files names each one).
  std::string summary_label;
  // The byte the converter's working areas are filled with at the start. The result never
  // depends on it; tests set it to show that.
  uint8_t scratch_fill = 0;
};

// A binary section as the input holds it.
struct section_summary {
  int64_t input_byte = 0;  // of its *START_BINARY line
  bool swapped = false;    // numbers in the reverse of this machine's byte order
  int32_t major = 0;       // format version of its header
  int32_t minor = 0;
  int64_t suspensions = 0;
};

// Binary records handled, by kind.
struct record_counts {
  int64_t text_lines = 0;
  int64_t format_resets = 0;
  int64_t cached_definitions = 0;
  int64_t cached_data = 0;
  int64_t line_specific[2] = {};  // packed format (code 1), plain format (code 2)
  int64_t hardwired[50] = {};     // by format code (10-17, 30-37)
};

struct convert_report {
  int64_t lines_written = 0;  // complete lines in the text (after a failed write: those before)
  bool finished = false;      // the whole input was converted (known once finished)
  int exit_status = 0;        // the command's: 0 converted, 2 failed (once finished)
  // The first error: its message (without the newline; "" when none), where the failing
  // marker, header or record begins in the (decompressed) input (-1 when the input's content
  // was not the cause), and the plain words for what most likely went wrong.
  std::string failure_message;
  int64_t failure_input_byte = -1;
  std::string failure_explanation;
  // The warnings given, each without its newline.
  std::vector<std::string> warnings;
  // Whether the input ended inside a binary section, and where that section was last entered.
  bool ended_in_binary = false;
  int64_t binary_entered_at = 0;
  std::string compression = "plain";  // "plain", "gzip", "xz" or "zstd"
  int64_t bytes_read = 0;             // input bytes read (decompressed ones)
  int64_t starred_fields = 0;         // fields written as '*' (counted without second_thread)
  int64_t ascii_lines = 0;            // lines copied in ASCII mode
  std::vector<section_summary> sections;
  record_counts records;
};

struct converter;
struct converter_deleter {
  ASCIIFY_API void operator()(converter* c) const;
};
using converter_ptr = std::unique_ptr<converter, converter_deleter>;

ASCIIFY_API converter_ptr make_converter(const convert_options& options, byte_sink text,
                                         message_sink messages);

// Converts the next `size` bytes of the input. Returns false once the conversion has stopped at
// an error (its message given, see the report); bytes fed after that are ignored.
ASCIIFY_API bool convert_bytes(converter& c, const void* data, size_t size);

// Converts what is left, hands all the text to the sink, closes it and gives the summary
// ("Finished converting file, wrote N lines." or "File conversion failed after writing N
// lines."). `read_failure`, when given, is the reason the input could not be read to its end
// (as "Input/output error"): the run then fails as the command does after a read error.
// Returns the exit status: 0 converted, 2 failed. Call once.
ASCIIFY_API int finish_converting(converter& c, const char* read_failure = nullptr);

// How a read failure relates to the bytes fed before it: they end cut short (the run stops
// where the failure was found), or they are whole and the failure lies after them (data that
// follows complete compressed streams: they are converted to their end, then the run fails).
enum class read_failure_kind { cut_short, after_the_data };
ASCIIFY_API int finish_converting(converter& c, const char* read_failure, read_failure_kind kind);

// What the conversion did so far; complete once finished. lines_written grows with every call.
ASCIIFY_API const convert_report& converting_report(const converter& c);

}  // namespace asciify
