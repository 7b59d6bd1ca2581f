// The packer: turns text into a file that the converter turns back into exactly that text,
// with binary records wherever they reproduce a line and the text itself elsewhere. The text
// is fed in pieces of any size; the packed bytes go to a byte sink as they are made; memory
// stays bounded whatever the length of the input or of its lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "asciify/byte_order.h"
#include "asciify/export.h"
#include "asciify/sinks.h"

namespace asciify {

struct pack_options {
  byte_order order = native_byte_order();  // byte order of the numbers written
  // Take lines apart on a second thread while the caller feeds on; the output is the same.
  bool second_thread = false;
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
  int write_error = 0;  // the sink's error number of the failed write
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
  ASCIIFY_API void operator()(packer* p) const;
};
using packer_ptr = std::unique_ptr<packer, packer_deleter>;

ASCIIFY_API packer_ptr make_packer(const pack_options& options, byte_sink sink);

// Packs the next bytes of the input. Returns false once the packing has stopped: a refused
// line or a failed write (see the report).
ASCIIFY_API bool pack_bytes(packer& p, const void* data, size_t size);

// Packs what is left (the last line, lines held back), hands all output to the sink and closes
// it. Returns false when the packing stopped or a write or the closing failed.
ASCIIFY_API bool finish_packing(packer& p);

ASCIIFY_API const pack_report& packing_report(const packer& p);

// Packs a whole text held in memory.
struct packed_text {
  std::string bytes;
  pack_report report;
  bool ok = false;  // false: refused (bytes then hold nothing useful) or failed
};
ASCIIFY_API packed_text pack_text(std::string_view input, const pack_options& options = {});

}  // namespace asciify
