// The packer: turns text into a file that the converter turns back into exactly that text,
// with binary records wherever they reproduce a line and the text itself elsewhere. Input is
// fed in pieces of any size; output goes to a sink as it is produced; memory stays bounded
// whatever the length of the input or of its lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pack/line_fields.h"

namespace binify {

struct pack_options {
  byte_order order = native_byte_order();  // byte order of the numbers written
  // Lines packed together by two threads (the output is the same with one).
  bool two_threads = false;
};

// Where the output goes; returns false when the bytes could not be written.
struct output_sink {
  bool (*write)(void* context, const uint8_t* data, size_t size) = nullptr;
  void* context = nullptr;
};

// Why a line cannot be carried by any file of this format: it begins with a marker text, so
// only a binary record could carry it, and none can.
enum class refusal { none, zero_byte, too_long, no_end_of_line };

// Why the output needs a reader with the converter's extensions.
enum class extension { none, long_line, no_end_of_line };

struct pack_report {
  int64_t lines_in = 0;   // input lines taken so far (an unterminated last line counts)
  int64_t bytes_out = 0;  // output bytes handed to the sink
  bool write_failed = false;
  // The first line no file can carry (then nothing more is packed), 1-based; 0 when none.
  int64_t refused_line = 0;
  refusal refused_because = refusal::none;
  const char* refused_marker = "";
  // The first line that needs a converter's extensions, 1-based; 0 when none.
  int64_t extended_line = 0;
  extension extended_because = extension::none;
};

struct packer;

struct packer_deleter {
  void operator()(packer* p) const;
};
using packer_ptr = std::unique_ptr<packer, packer_deleter>;

packer_ptr make_packer(const pack_options& options, output_sink sink);

// Packs the next bytes of the input. Returns false once the packing has stopped: a refused
// line or a failed write (see the report).
bool pack_bytes(packer& p, const uint8_t* data, size_t size);

// Packs what is left (the last line, lines held back) and hands all output to the sink.
// Returns false when the packing stopped or a write failed.
bool finish_packing(packer& p);

const pack_report& packing_report(const packer& p);

}  // namespace binify

namespace binify {

// Packs a whole text held in memory; for tests and tools.
struct packed_text {
  std::string bytes;
  pack_report report;
  bool ok = false;  // false: refused (bytes then hold nothing useful) or failed
};
packed_text pack_text(std::string_view input, const pack_options& options = {});

}  // namespace binify
