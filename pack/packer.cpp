#include "asciify/packer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "format/format_codes.h"
#include "format/markers.h"
#include "format/section_header.h"
#include "input/decoder.h"
#include "pack/field_records.h"
#include "pack/format_cache.h"
#include "pack/line_batches.h"

namespace asciify {
namespace {

// Bytes of the marker lines and records the packer writes: *START_BINARY and its header line;
// *RESUME_BINARY; the text-line records of *SUSPEND_BINARY and of *END_BINARY (which ends the
// last section, so that the file does not end inside one, which readers take for a file cut
// short), each with its code and zero byte.
constexpr int32_t kStartCost = static_cast<int32_t>(kStartMarker.size()) + 1 + kHeaderLineSize;
constexpr int32_t kResumeCost = static_cast<int32_t>(kResumeMarker.size()) + 1;
constexpr int32_t kSuspendCost = static_cast<int32_t>(kSuspendMarker.size()) + 2;
constexpr int32_t kEndCost = static_cast<int32_t>(kEndMarker.size()) + 2;
constexpr int32_t kImpossible = 1 << 24;  // cost of a form that cannot carry the line
constexpr int32_t kMaxTextRecordLine = kMaxRecordSize - 2;  // code, text, zero byte
constexpr size_t kFlushSize = 1 << 18;
// Input is taken in pieces of at most this size, so that positions within a piece are small.
constexpr size_t kPieceSize = 1 << 20;
// Lines held back while it is open whether the mode should change for them.
constexpr int32_t kMaxPending = 96;

struct pending_line {
  int32_t offset;
  int32_t length;
  bool paired;  // a text that begins with '*', after a line "$"
};

const char* leading_marker(const uint8_t* text, int32_t length) {
  for (std::string_view marker : kMarkers) {
    if (length >= static_cast<int32_t>(marker.size()) &&
        std::memcmp(text, marker.data(), marker.size()) == 0) {
      return marker.data();
    }
  }
  return nullptr;
}

// The costs of a line in each mode, and the record that carries it in binary mode.
struct line_costs {
  int32_t ascii = kImpossible;
  int32_t binary = kImpossible;
  const line_fields* fields = nullptr;  // the line's fields, when taken apart
  record_plan plan;                     // the record chosen for them
};

}  // namespace

struct packer {
  pack_options options;
  number_order numbers;
  byte_sink sink;
  bool closed = false;
  pack_report report;
  format_cache cache;
  std::vector<uint8_t> out;
  bool binary = false;         // the output is in a binary section
  bool started = false;        // a binary section was started
  bool start_checked = false;  // the first line was checked for a compressed stream's start
  bool stopped = false;
  // A partial line at the end of the bytes fed so far.
  uint8_t carry[kMaxRecordLine + 2];
  int32_t carry_size = 0;
  bool in_long_line = false;  // copying the rest of a line too long for a record
  // A line "$", held back to see whether it goes with the next line's text record.
  bool dollar_held = false;
  int64_t dollar_number = 0;
  // Lines that would rather be in the other mode, until they gain enough to switch.
  pending_line pending[kMaxPending];
  int32_t pending_count = 0;
  int32_t pending_gain = 0;
  int32_t pending_size = 0;
  uint8_t pending_text[kMaxPending * (kMaxRecordLine + 1)];
  line_fields current;  // fields of the line being placed
  line_fields scratch;  // fields of a held-back line being written
  // With two threads: the lines' fields taken apart ahead, and those of the line being taken
  // (when `ready` is set).
  std::unique_ptr<batch_splitter> splitter;
  const line_fields* ready_fields = nullptr;
  bool ready = false;
  bool ready_split = false;
};

namespace {

// Hands all `size` bytes to the sink, which may take them a part at a time. Returns the error
// number of a failed write, 0 when all were taken.
int write_all(const byte_sink& sink, const uint8_t* data, size_t size) {
  while (size > 0) {
    int error = 0;
    const size_t taken =
        sink.write(sink.context, reinterpret_cast<const char*>(data), size, &error);
    if (taken == 0) return error != 0 ? error : EIO;
    data += taken;
    size -= taken;
  }
  return 0;
}

void flush_output(packer& p) {
  if (p.out.empty() || p.report.write_failed) return;
  if (const int error = write_all(p.sink, p.out.data(), p.out.size()); error != 0) {
    p.report.write_failed = true;
    p.report.write_error = error;
    p.stopped = true;
  }
  p.report.bytes_out += static_cast<int64_t>(p.out.size());
  p.out.clear();
}

void put(packer& p, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  p.out.insert(p.out.end(), bytes, bytes + size);
  if (p.out.size() >= kFlushSize) flush_output(p);
}

void put(packer& p, std::string_view text) {
  put(p, text.data(), text.size());
}

void put_byte(packer& p, uint8_t byte) {
  put(p, &byte, 1);
}

// A marker line, or (in binary mode) the text-line record of a marker.
void put_marker_line(packer& p, std::string_view marker) {
  put(p, marker);
  put_byte(p, '\n');
}
void put_marker_record(packer& p, std::string_view marker) {
  put_byte(p, FC_TEXT_LINE);
  put(p, marker);
  put_byte(p, 0);
}

// *START_BINARY and the header: version 1.0 and the probes 1 and 1.0 in the file's order.
void start_section(packer& p) {
  put_marker_line(p, kStartMarker);
  put(p, make_header_line(p.options.order).text, kHeaderLineSize);
  clear_format_cache(p.cache);
  p.started = true;
}

void switch_mode(packer& p, bool binary) {
  if (p.binary == binary) return;
  if (!binary) {
    put_marker_record(p, kSuspendMarker);
  } else if (!p.started) {
    start_section(p);
  } else {
    put_marker_line(p, kResumeMarker);
  }
  p.binary = binary;
}

bool text_record_fits(const uint8_t* text, int32_t length, bool paired) {
  return length <= kMaxTextRecordLine && (paired || length == 0 || text[0] != '*');
}

// Costs of the line in both modes. A line with a zero byte, a last line without end-of-line
// byte and a line longer than a record stay text; a line that begins with a marker text can
// only be a record (and not a text-line record, which the marker check would take).
line_costs cost_line(packer& p, const uint8_t* text, int32_t length, bool has_eol, bool paired) {
  line_costs c;
  const bool marker = leading_marker(text, length) != nullptr;
  if (!marker) c.ascii = length + (has_eol ? 1 : 0) + (paired ? 2 : 0);
  if (!has_eol || length > kMaxRecordLine ||
      std::memchr(text, 0, static_cast<size_t>(length)) != nullptr) {
    return c;
  }
  if (!marker && text_record_fits(text, length, paired)) c.binary = length + 2;
  if (paired) return c;
  if (p.ready) {
    c.fields = p.ready_split ? p.ready_fields : nullptr;
  } else if (split_fields(text, length, p.numbers, &p.current)) {
    c.fields = &p.current;
  }
  if (c.fields != nullptr) {
    c.plan = plan_fields_record(p.cache, *c.fields);
    if (c.plan.form != record_form::none && c.plan.cost < c.binary) c.binary = c.plan.cost;
  }
  return c;
}

void note_extension(packer& p, int64_t number, extension why) {
  if (p.report.extended_line != 0) return;
  p.report.extended_line = number;
  p.report.extended_because = why;
}

void write_ascii(packer& p, const uint8_t* text, int32_t length, bool has_eol, bool paired) {
  if (paired) put(p, "$\n");
  put(p, text, static_cast<size_t>(length));
  if (has_eol) put(p, "\n");
}

void write_text_record(packer& p, const uint8_t* text, int32_t length) {
  const uint8_t code = FC_TEXT_LINE;
  put(p, &code, 1);
  put(p, text, static_cast<size_t>(length));
  put(p, "", 1);
}

// Writes a line as a binary record. `fields` are its fields and `known` the record chosen for
// them, or both nullptr when the line is to be taken apart anew; the record is chosen again
// when the cache has changed since.
void write_binary(packer& p, const uint8_t* text, int32_t length, bool paired,
                  const line_fields* fields, const record_plan* known) {
  if (paired) return write_text_record(p, text, length);
  record_plan plan;
  if (fields == nullptr && split_fields(text, length, p.numbers, &p.scratch)) {
    fields = &p.scratch;
  }
  if (known != nullptr && known->generation == p.cache.generation) {
    plan = *known;
  } else if (fields != nullptr) {
    plan = plan_fields_record(p.cache, *fields);
  }
  const bool text_fits = text_record_fits(text, length, false);
  if (plan.form == record_form::none || (text_fits && length + 2 <= plan.cost)) {
    return write_text_record(p, text, length);
  }
  std::vector<uint8_t>& out = p.out;
  write_fields_record(p.cache, *fields, plan, p.options.order, out);
  if (out.size() >= kFlushSize) flush_output(p);
}

// Writes the held-back lines in the current mode.
void release_pending(packer& p) {
  for (int32_t i = 0; i < p.pending_count; ++i) {
    const pending_line& line = p.pending[i];
    const uint8_t* text = p.pending_text + line.offset;
    if (p.binary) {
      write_binary(p, text, line.length, line.paired, nullptr, nullptr);
    } else {
      write_ascii(p, text, line.length, true, line.paired);
    }
  }
  p.pending_count = 0;
  p.pending_gain = 0;
  p.pending_size = 0;
}

void hold_back(packer& p, const uint8_t* text, int32_t length, bool paired, int32_t gain) {
  if (p.pending_count == kMaxPending) release_pending(p);
  p.pending[p.pending_count++] = {p.pending_size, length, paired};
  std::memcpy(p.pending_text + p.pending_size, text, static_cast<size_t>(length));
  p.pending_size += length;
  p.pending_gain += gain;
}

int32_t round_trip_cost(const packer& p) {
  return (p.started ? kResumeCost : kStartCost) + kSuspendCost;
}

void refuse(packer& p, int64_t number, const uint8_t* text, int32_t length, bool has_eol) {
  p.report.refused_line = number;
  p.report.refused_marker = leading_marker(text, length);
  p.report.refused_because = std::memchr(text, 0, static_cast<size_t>(length)) ? refusal::zero_byte
                             : !has_eol ? refusal::no_end_of_line
                                        : refusal::too_long;
  p.stopped = true;
}

// A packed file never starts like a compressed stream, which a reader would decompress: when
// the first line, written as text, could begin one, an empty binary section goes before it.
void keep_start_plain(packer& p, const uint8_t* text, int32_t length, bool has_eol, bool paired) {
  if (p.start_checked) return;
  p.start_checked = true;
  if (paired || p.binary) return;  // "$" or "*START_BINARY" comes first
  uint8_t start[kSignatureBytes];
  size_t size = std::min(static_cast<size_t>(length), kSignatureBytes);
  std::memcpy(start, text, size);
  if (has_eol && size < kSignatureBytes) start[size++] = '\n';
  if (!may_begin_compressed_stream(start, size)) return;
  switch_mode(p, true);
  switch_mode(p, false);
}

// Places one line (and a "$" line before it when `paired`): in the current mode, or held back
// until the lines that would rather be in the other mode gain more than switching costs.
void place_line(packer& p, const uint8_t* text, int32_t length, bool has_eol, bool paired,
                int64_t number) {
  keep_start_plain(p, text, length, has_eol, paired);
  const line_costs c = cost_line(p, text, length, has_eol, paired);
  if (c.ascii >= kImpossible && c.binary >= kImpossible) {
    return refuse(p, number, text, length, has_eol);
  }
  const bool must_switch = p.binary ? c.binary >= kImpossible : c.ascii >= kImpossible;
  const int32_t gain = p.binary ? c.binary - c.ascii : c.ascii - c.binary;
  if (!must_switch && gain > 0) {
    hold_back(p, text, length, paired, gain);
    if (p.pending_gain < round_trip_cost(p)) return;
    switch_mode(p, !p.binary);
    return release_pending(p);
  }
  if (must_switch) switch_mode(p, !p.binary);
  release_pending(p);
  if (p.binary) {
    write_binary(p, text, length, paired, c.fields, c.fields ? &c.plan : nullptr);
  } else {
    if (length > kMaxRecordLine) note_extension(p, number, extension::long_line);
    if (!has_eol) note_extension(p, number, extension::no_end_of_line);
    write_ascii(p, text, length, has_eol, paired);
  }
}

// Whether the line can be the text of a text-line record that brings a "$" line before it.
bool pairs_with_dollar(const uint8_t* text, int32_t length, bool has_eol) {
  return has_eol && length > 0 && text[0] == '*' && length <= kMaxTextRecordLine &&
         leading_marker(text, length) == nullptr &&
         std::memchr(text, 0, static_cast<size_t>(length)) == nullptr;
}

void place_held_dollar(packer& p) {
  if (!p.dollar_held) return;
  p.dollar_held = false;
  const bool ready = p.ready;
  p.ready = false;  // fields taken apart ahead belong to the line after it
  place_line(p, reinterpret_cast<const uint8_t*>("$"), 1, true, false, p.dollar_number);
  p.ready = ready;
}

void take_line(packer& p, const uint8_t* text, int32_t length, bool has_eol) {
  const int64_t number = ++p.report.lines_in;
  if (p.dollar_held && pairs_with_dollar(text, length, has_eol)) {
    p.dollar_held = false;
    return place_line(p, text, length, has_eol, true, number);
  }
  place_held_dollar(p);
  if (p.stopped) return;
  if (has_eol && length == 1 && text[0] == '$') {
    p.dollar_held = true;
    p.dollar_number = number;
    return;
  }
  place_line(p, text, length, has_eol, false, number);
}

// The start of a line longer than any record, of which `text` holds the first bytes (more
// than a record line): it is copied in ASCII mode as it arrives.
void start_long_line(packer& p, const uint8_t* text, int32_t length) {
  const int64_t number = ++p.report.lines_in;
  place_held_dollar(p);
  if (p.stopped) return;
  if (leading_marker(text, length) != nullptr) return refuse(p, number, text, length, true);
  keep_start_plain(p, text, length, true, false);
  switch_mode(p, false);
  release_pending(p);
  note_extension(p, number, extension::long_line);
  put(p, text, static_cast<size_t>(length));
  p.in_long_line = true;
}

// Copies bytes of a long line up to its end-of-line byte; returns how many were taken.
size_t continue_long_line(packer& p, const uint8_t* data, size_t size) {
  const void* end = std::memchr(data, '\n', size);
  const size_t taken =
      end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - data) + 1 : size;
  put(p, data, taken);
  if (end != nullptr) p.in_long_line = false;
  return taken;
}

// Adds bytes to the partial line; returns how many were taken.
size_t extend_carry(packer& p, const uint8_t* data, size_t size) {
  const void* end = std::memchr(data, '\n', size);
  const size_t part = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - data) : size;
  const size_t room = sizeof p.carry - static_cast<size_t>(p.carry_size);
  if (part >= room) {
    std::memcpy(p.carry + p.carry_size, data, room);
    start_long_line(p, p.carry, static_cast<int32_t>(sizeof p.carry));
    p.carry_size = 0;
    return room;
  }
  std::memcpy(p.carry + p.carry_size, data, part);
  p.carry_size += static_cast<int32_t>(part);
  if (end == nullptr) return size;
  take_line(p, p.carry, p.carry_size, true);
  p.carry_size = 0;
  return part + 1;
}

// Takes the lines of a batch whose fields are ready.
void take_batch(packer& p, const line_batch& batch) {
  for (int32_t i = 0; i < batch.count && !p.stopped; ++i) {
    p.ready = true;
    p.ready_split = batch.split[i];
    p.ready_fields = &batch.fields[i];
    take_line(p, batch.text + batch.offset[i], batch.length[i], true);
  }
  p.ready = false;
}

// take_lines with two threads: while this thread packs the lines of one batch, the helper
// takes the next batch apart; then this thread helps it finish.
size_t take_lines_in_batches(packer& p, const uint8_t* data, size_t size) {
  batch_splitter& s = *p.splitter;
  line_batch* current = &s.batches[0];
  line_batch* next = &s.batches[1];
  size_t at = fill_batch(*current, data, size);
  publish_batch(s, *current);
  complete_batch(s, *current);
  size_t taken = at;
  while (current->count > 0) {
    at += fill_batch(*next, data + at, size - at);
    if (next->count > 0) publish_batch(s, *next);
    take_batch(p, *current);
    complete_batch(s, *next);
    if (p.stopped) break;
    taken = at;
    std::swap(current, next);
  }
  return taken;
}

// Takes the whole lines at the start of the bytes; returns how many bytes were taken.
size_t take_lines(packer& p, const uint8_t* data, size_t size) {
  if (p.splitter) return take_lines_in_batches(p, data, size);
  size_t at = 0;
  while (at < size && !p.stopped) {
    const void* end = std::memchr(data + at, '\n', size - at);
    if (end == nullptr) break;
    const size_t line_end = static_cast<size_t>(static_cast<const uint8_t*>(end) - data);
    take_line(p, data + at, static_cast<int32_t>(line_end - at), true);
    at = line_end + 1;
  }
  return at;
}

// Closes the sink once; a failure to close is a failed write.
void close_sink(packer& p) {
  if (p.closed) return;
  p.closed = true;
  if (p.sink.close == nullptr) return;
  if (const int error = p.sink.close(p.sink.context); error != 0 && !p.report.write_failed) {
    p.report.write_failed = true;
    p.report.write_error = error;
  }
}

}  // namespace

void packer_deleter::operator()(packer* p) const {
  if (p->splitter) stop_batch_splitter(*p->splitter);
  delete p;
}

packer_ptr make_packer(const pack_options& options, byte_sink sink) {
  packer_ptr p(new packer);
  p->options = options;
  p->numbers = make_number_order(options.order);
  p->sink = sink;
  p->out.reserve(kFlushSize + 4096);
  if (options.second_thread) p->splitter = start_batch_splitter(p->numbers);
  return p;
}

bool pack_bytes(packer& p, const void* bytes, size_t size) {
  const auto* data = static_cast<const uint8_t*>(bytes);
  while (size > kPieceSize) {
    if (!pack_bytes(p, data, kPieceSize)) return false;
    data += kPieceSize;
    size -= kPieceSize;
  }
  while (size > 0 && !p.stopped) {
    size_t taken;
    if (p.in_long_line) {
      taken = continue_long_line(p, data, size);
    } else if (p.carry_size > 0) {
      taken = extend_carry(p, data, size);
    } else {
      taken = take_lines(p, data, size);
      if (taken == 0) taken = extend_carry(p, data, size);
    }
    data += taken;
    size -= taken;
  }
  return !p.stopped;
}

bool finish_packing(packer& p) {
  if (!p.stopped && p.carry_size > 0) {
    take_line(p, p.carry, p.carry_size, false);
    p.carry_size = 0;
  }
  if (!p.stopped && p.in_long_line) p.in_long_line = false;  // it had no end-of-line byte
  if (!p.stopped) place_held_dollar(p);
  if (!p.stopped && p.pending_count > 0) {
    // No switch back follows the last line; a binary section at the end needs *END_BINARY.
    const int32_t one_way =
        p.binary ? kSuspendCost - kEndCost : (p.started ? kResumeCost : kStartCost) + kEndCost;
    if (p.pending_gain >= one_way) switch_mode(p, !p.binary);
    release_pending(p);
  }
  if (!p.stopped && p.binary) {
    put_marker_record(p, kEndMarker);
    p.binary = false;
  }
  if (!p.stopped || p.report.refused_line == 0) flush_output(p);
  close_sink(p);
  return !p.stopped && !p.report.write_failed;
}

const pack_report& packing_report(const packer& p) {
  return p.report;
}

packed_text pack_text(std::string_view input, const pack_options& options) {
  packed_text result;
  auto append = [](void* context, const char* data, size_t size, int*) {
    static_cast<std::string*>(context)->append(data, size);
    return size;
  };
  packer_ptr p = make_packer(options, {append, nullptr, nullptr, &result.bytes});
  pack_bytes(*p, input.data(), input.size());
  result.ok = finish_packing(*p);
  result.report = packing_report(*p);
  return result;
}

}  // namespace asciify
