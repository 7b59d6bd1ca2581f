// The reader of the public interface: the converter, its lines observed as they are written,
// queued with their values for one piece of input at a time and handed out one by one or as
// runs of one layout.
#include "asciify/reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "asciify/converter.h"
#include "convert/observe.h"
#include "input/input_stream.h"
#include "read/batches.h"
#include "read/field_values.h"
#include "read/next_text.h"
#include "read/sink_texts.h"
#include "text/line_writer.h"

namespace asciify {
namespace {

// Input handed to the converter at a time: what one piece can make is what the reader holds.
constexpr size_t kPieceSize = 16384;
// Read for runs: pieces of one read of the converter's, so that few of the records a piece
// makes after its run has ended wait in the queue.
constexpr size_t kRunPieceSize = 512;
// Where an item's text lies: in the reader's buffer of texts, in the buffer of texts written
// from values, still to be written from its values, still to come from the converter's text
// sink, or come from it (the head item's, as the reader keeps it).
enum class text_place : uint8_t { texts, written, unwritten, sink, arrived };

// A line as the piece made it; its text, layout and fields lie in the reader's buffers. Kept
// small: a reader reading lines holds as many as the converter's queue.
struct queued_item {
  int64_t line_number;
  int64_t input_byte;
  size_t text_at, text_size;
  // Of a data record: where its layout and the data its line is written from lie, and how to
  // read them.
  uint64_t zero_fill_marker_8;
  uint32_t zero_fill_marker_4;
  uint32_t layout_at, data_at, data_size;
  uint32_t staged_zero_fill;
  item_kind kind;
  record_source source;
  bool only_numbers;  // see observed_line
  int16_t format_code;
  uint8_t layout_size;
  text_place text_in;
  bool swapped;
};

record_source source_of(line_origin origin) {
  switch (origin) {
    case line_origin::cached_format:
      return record_source::cached_format;
    case line_origin::line_specific:
      return record_source::line_specific;
    case line_origin::hardwired:
      return record_source::hardwired;
    case line_origin::ascii_line:
    case line_origin::text_record:
      break;
  }
  return record_source::none;
}

size_t discard(void*, const char*, size_t size, int*) {
  return size;
}

}  // namespace

struct reader {
  input_handle input;
  // Read for lines: the converter writes their texts to `sink` with a second thread; read for
  // runs of values: it only checks the lines, the texts are written from values when asked.
  bool started = false;
  bool texts_from_sink = false;
  size_t piece_size = kPieceSize;
  sink_texts sink;             // outlives the converter, which writes to it until it is gone
  std::string_view head_text;  // the text taken from the sink: the head item's
  converter_ptr conv;
  bool done = false;
  bool failed = false;
  read_error error;
  int64_t lines_seen = 0;
  // The items of the last piece, and the buffers their texts, layouts and fields lie in.
  std::vector<queued_item> queue;
  size_t taken = 0;
  std::string texts;
  std::vector<uint8_t> layouts;
  std::vector<uint8_t> data;
  std::vector<field_value> fields;
  numbers_layout fields_layout;  // of the record of numbers whose values `fields` hold
  bool want_texts = true;        // items are read for their texts: write those of data records
  std::string written;           // the texts of data records, written from their values
  std::string line_room;         // kLineBufferSize characters
  // The parts of a line longer than the input window so far: their length, and their bytes
  // unless the line's text comes through the sink.
  size_t open_size = 0;
  std::string open_line;
  item_origin open_origin;
  line_item current;
  run_item current_run;
  batch_builder batches;
  std::shared_ptr<void> source;  // what a callback input reads through, kept with it
};

namespace {

// Fills the item in place at the end of the queue: one built apart and copied whole is read
// back before its small stores have landed, which stalls.
void queue_line(reader& r, const item_origin& origin, const observed_line& line) {
  queued_item& q = r.queue.emplace_back();
  q.kind = origin.origin == line_origin::ascii_line    ? item_kind::ascii_line
           : origin.origin == line_origin::text_record ? item_kind::text_record
                                                       : item_kind::data_record;
  q.line_number = ++r.lines_seen;
  q.input_byte = origin.input_byte;
  q.format_code = static_cast<int16_t>(q.kind == item_kind::ascii_line ? -1 : origin.code);
  q.source = source_of(origin.origin);
  q.swapped = line.settings.swap_needed != 0;
  q.zero_fill_marker_4 = line.settings.zero_fill_marker_4;
  q.zero_fill_marker_8 = line.settings.zero_fill_marker_8;
  q.staged_zero_fill = origin.origin == line_origin::hardwired ? origin.staged_zero_fill : 0;
  q.only_numbers = line.only_numbers;
  q.text_at = r.texts.size();
  if (r.texts_from_sink) {
    // The text comes in order through the sink; a line of fields' length is known only in
    // fixed columns.
    q.text_in = text_place::sink;
    q.text_size = r.open_size + static_cast<size_t>(line.length);
  } else {
    q.text_in = line.text != nullptr ? text_place::texts : text_place::unwritten;
    // (With no text queued before it, the gathered line becomes the texts: no second copy.)
    if (r.texts.empty() && !r.open_line.empty()) {
      r.texts.swap(r.open_line);
    } else {
      r.texts.append(r.open_line);
    }
    if (line.text != nullptr) r.texts.append(line.text, static_cast<size_t>(line.length));
    q.text_size = r.texts.size() - q.text_at;
  }
  r.open_size = 0;
  r.open_line.clear();
  if (line.format != nullptr) {
    q.layout_at = static_cast<uint32_t>(r.layouts.size());
    q.layout_size = line.format->count;
    r.layouts.insert(r.layouts.end(), line.format->bytes, line.format->bytes + q.layout_size);
    q.data_at = static_cast<uint32_t>(r.data.size());
    q.data_size = static_cast<uint32_t>(line.limit - line.start);
    r.data.insert(r.data.end(), line.data + line.start, line.data + line.limit);
  }
}

// A checked data record, as kept where the converter holds it.
kept_record record_of(const item_origin& origin, const observed_line& line) {
  kept_record k;
  k.layout = std::span<const uint8_t>(line.format->bytes, line.format->count);
  k.data = line.data + line.start;
  k.size = line.limit - line.start;
  k.settings = line.settings;
  k.staged = origin.origin == line_origin::hardwired;
  k.staged_zero_fill = k.staged ? origin.staged_zero_fill : 0;
  k.only_numbers = line.only_numbers;
  return k;
}

void take_line(void* context, const item_origin& origin, const observed_line& line) {
  auto& r = *static_cast<reader*>(context);
  if (r.batches.accepting) {
    // Read for runs with nothing queued: a record goes straight into the run, or into the next
    // when it ends the run.
    const row_taken taken =
        line.format != nullptr && r.taken == r.queue.size() && r.open_size == 0
            ? take_row(r.batches, record_of(origin, line), r.lines_seen + 1, origin.input_byte)
            : row_taken::not_taken;
    if (taken == row_taken::into_run) {
      ++r.lines_seen;
      return;
    }
    // The run ends here: the converter stops after this line, which waits in the queue, so
    // that the run is handed out and the records after it go straight into the next run. (A
    // record that began the next run waits too, for whoever reads items instead of runs next.)
    pause_after_item(*r.conv);
  }
  if (line.ends_line) return queue_line(r, r.open_size == 0 ? origin : r.open_origin, line);
  if (r.open_size == 0) r.open_origin = origin;
  r.open_size += static_cast<size_t>(line.length);
  if (!r.texts_from_sink) r.open_line.append(line.text, static_cast<size_t>(line.length));
}

// Ends the conversion and keeps the error that ended it.
void finish(reader& r) {
  r.done = true;
  const char* failure = input_failed(*r.input) ? input_failure_reason(*r.input).c_str() : nullptr;
  if (finish_converting(*r.conv, failure) == 0) return;
  const convert_report& report = converting_report(*r.conv);
  r.failed = true;
  r.error = {report.failure_message, report.failure_input_byte, report.lines_written + 1};
}

// Drops the items taken from the queue and what they kept, keeping the rest (waiting for their
// texts) at the start of the buffers.
void drop_taken(reader& r) {
  const auto rest = r.queue.begin() + static_cast<std::ptrdiff_t>(r.taken);
  const auto first_record = std::find_if(
      rest, r.queue.end(), [](const queued_item& q) { return q.kind == item_kind::data_record; });
  const uint32_t layout_base = first_record != r.queue.end() ? first_record->layout_at : 0;
  const uint32_t data_base = first_record != r.queue.end() ? first_record->data_at : 0;
  for (auto q = first_record; q != r.queue.end(); ++q) {
    q->layout_at -= layout_base;
    q->data_at -= data_base;
  }
  r.layouts.erase(r.layouts.begin(), r.layouts.begin() + static_cast<std::ptrdiff_t>(layout_base));
  r.data.erase(r.data.begin(), r.data.begin() + static_cast<std::ptrdiff_t>(data_base));
  if (first_record == r.queue.end()) r.layouts.clear(), r.data.clear();
  r.queue.erase(r.queue.begin(), rest);
  r.taken = 0;
}

// Converts pieces of input until one makes a line or the input ends; the items not taken yet
// stay. Returns false at the end.
bool fill_queue(reader& r) {
  if (r.taken == r.queue.size()) {
    r.queue.clear();
    r.taken = 0;
    r.texts.clear();
    r.layouts.clear();
    r.data.clear();
  } else if (r.taken >= r.queue.size() / 2) {
    drop_taken(r);
  }
  const size_t before = r.queue.size();
  while (r.queue.size() == before && !r.done) {
    if (converting_paused(*r.conv)) {
      if (!resume_converting(*r.conv)) finish(r);
      continue;
    }
    const uint8_t* bytes = nullptr;
    const size_t got = next_input_bytes(*r.input, &bytes, r.piece_size);
    if (got == 0 || !convert_bytes(*r.conv, bytes, got)) finish(r);
  }
  return r.taken < r.queue.size();
}

// Sets `k` to a queued data record's data, as kept. Filled in place: a record built field by
// field and then copied whole is read back before its small stores have landed, which stalls.
void set_kept(kept_record& k, const reader& r, const queued_item& q) {
  k.layout = std::span<const uint8_t>(r.layouts.data() + q.layout_at, q.layout_size);
  k.data = r.data.data() + q.data_at;
  k.size = static_cast<int32_t>(q.data_size);
  k.settings = {q.zero_fill_marker_4, q.zero_fill_marker_8, q.swapped ? 1 : 0};
  k.staged = q.source == record_source::hardwired;
  k.staged_zero_fill = q.staged_zero_fill;
  k.only_numbers = q.only_numbers;
}

kept_record kept_of(const reader& r, const queued_item& q) {
  kept_record k;
  set_kept(k, r, q);
  return k;
}

// The item's text where it lies; none while it is still to be written or to come.
std::string_view text_of(const reader& r, const queued_item& q) {
  switch (q.text_in) {
    case text_place::texts:
      return std::string_view(r.texts).substr(q.text_at, q.text_size);
    case text_place::written:
      return std::string_view(r.written).substr(q.text_at, q.text_size);
    case text_place::arrived:
      return r.head_text;
    case text_place::unwritten:
    case text_place::sink:
      break;
  }
  return {};
}

// How much of the sink's text is the item's: a text line's size, or a record's line's when it
// is known (in fixed columns); any other record's line up to its newline, after those its
// strings hold.
text_extent extent_of(const reader& r, const queued_item& q) {
  if (q.kind != item_kind::data_record || q.text_size != 0) return {q.text_size, 1};
  text_extent extent;
  const kept_record record = kept_of(r, q);
  const bool has_strings = std::any_of(record.layout.begin(), record.layout.end(), [](uint8_t b) {
    return decompose_field_format(b).type == field_type::string;
  });
  if (!has_strings) return extent;
  visit_fields(record, [&](size_t, const raw_field& field) {
    if (field.type != value_type::string || !holds_value(record, field)) return;
    extent.newlines +=
        static_cast<int32_t>(std::count(field.bytes, field.bytes + field.size, '\n'));
  });
  return extent;
}

// Takes the head item's text from the sink, converting more input until all of it has come.
void take_head_text(reader& r) {
  for (;;) {
    queued_item& q = r.queue[r.taken];
    if (q.text_in != text_place::sink) return;
    const std::string_view text = take_text(r.sink, extent_of(r, q), r.done);
    if (text.data() != nullptr) {
      q.text_in = text_place::arrived;
      r.head_text = text;
      q.text_size = text.size();
      return;
    }
    // Lines queued after it push its text out; the end of the input writes all.
    fill_queue(r);
  }
}

// Sets `item` to the item as the interface shows it, with `fields` as its fields and no text
// when its text is still to be written (in place, as set_kept).
void set_item(line_item& item, const reader& r, const queued_item& q,
              const std::vector<field_value>& fields) {
  item.kind = q.kind;
  item.text = text_of(r, q);
  item.line_number = q.line_number;
  item.input_byte = q.input_byte;
  item.format_code = q.format_code;
  item.source = q.source;
  item.swapped = q.swapped;
  item.layout = std::span<const uint8_t>(r.layouts.data() + q.layout_at, q.layout_size);
  item.fields = fields;
}

// Writes the texts of the queued data records from `begin` on from their values (lines are
// read once they are taken: the converter only checks them).
void write_texts(reader& r, size_t begin) {
  r.written.clear();
  r.line_room.resize(kLineBufferSize);
  for (size_t i = begin; i < r.queue.size(); ++i) {
    queued_item& q = r.queue[i];
    if (q.text_in != text_place::unwritten) continue;
    const int32_t length = render_record(kept_of(r, q), r.line_room.data());
    q.text_at = r.written.size();
    q.text_size = static_cast<size_t>(length);
    r.written.append(r.line_room.data(), q.text_size);
    q.text_in = text_place::written;
  }
}

// The item at the head of the queue, its views set (its fields only `with_fields`).
const line_item& view_of(reader& r, const queued_item& q, bool with_fields) {
  const bool fields = with_fields && q.kind == item_kind::data_record;
  if (fields) values_of(kept_of(r, q), r.fields, r.fields_layout);
  set_item(r.current, r, q, r.fields);
  if (!fields) r.current.fields = {};
  return r.current;
}

reader_opening open_on(input_opening opening) {
  reader_opening result;
  if (opening.stream == nullptr) {
    result.reason = std::move(opening.reason);
    result.system_error = opening.system_error;
    return result;
  }
  reader_ptr r(new reader);
  r->input = std::move(opening.stream);
  result.reader = std::move(r);
  return result;
}

// Makes the converter at the first read: for lines, one that writes their texts to the sink
// with a second thread; for runs of values, one that only checks the lines.
void start(reader& r, bool for_lines) {
  r.started = true;
  r.texts_from_sink = for_lines;
  r.piece_size = for_lines ? kPieceSize : kRunPieceSize;
  convert_options options;
  options.quiet = true;
  options.decompress = false;  // the input decompresses itself
  options.buffer_size = 0;
  options.second_thread = for_lines;
  const byte_sink text =
      for_lines ? sink_into(r.sink) : byte_sink{discard, nullptr, nullptr, nullptr};
  r.conv = make_converter(options, text, {});
  observe_lines(*r.conv, {take_line, &r}, !for_lines);
}

// A reader's callback as the input layer's raw reader.
struct callback_source {
  read_function read;
  void* context;
};

raw_read read_through(void* context, uint8_t* buffer, size_t capacity) {
  const auto* source = static_cast<const callback_source*>(context);
  int error = 0;
  const size_t got = source->read(source->context, buffer, capacity, &error);
  return {got, got == 0 ? error : 0};
}

}  // namespace

void reader_deleter::operator()(reader* r) const {
  delete r;
}

reader_opening open_reader_file(const std::string& path) {
  return open_on(open_input_file(path.c_str()));
}

reader_opening open_reader_memory(const void* data, size_t size) {
  return open_on(open_input_memory(static_cast<const uint8_t*>(data), size));
}

reader_opening open_reader_callback(read_function read, void* context) {
  // The input reads the callback's source from a record kept with it, as long as it lives.
  auto source = std::make_shared<callback_source>(callback_source{read, context});
  reader_opening opening = open_on(open_input_reader({read_through, source.get()}));
  if (opening.reader != nullptr) opening.reader->source = std::move(source);
  return opening;
}

static const line_item* peek_item(reader& r, bool with_fields) {
  if (r.taken == r.queue.size() && !fill_queue(r)) return nullptr;
  if (r.texts_from_sink) take_head_text(r);
  if (r.want_texts && r.queue[r.taken].text_in == text_place::unwritten) write_texts(r, r.taken);
  return &view_of(r, r.queue[r.taken], with_fields);
}

// next_item, or the next line without its fields.
static const line_item* next_line(reader& r, bool with_fields) {
  if (!r.started) start(r, true);
  r.batches.next_begun = false;  // its first record is the next item
  r.want_texts = true;
  const line_item* item = peek_item(r, with_fields);
  if (item != nullptr) skip_item(r);
  return item;
}

const run_item* peek_run_item(reader& r) {
  if (r.taken == r.queue.size() && !fill_queue(r)) return nullptr;
  // Taken with their texts, so that the sink's texts stay in step with the items.
  if (r.texts_from_sink) take_head_text(r);
  const queued_item& q = r.queue[r.taken];
  run_item& item = r.current_run;
  item.kind = q.kind;
  item.line_number = q.line_number;
  item.input_byte = q.input_byte;
  item.text = text_of(r, q);  // only other lines' texts are asked for: never still to write
  if (q.kind == item_kind::data_record) set_kept(item.record, r, q);
  return &item;
}

void skip_item(reader& r) {
  ++r.taken;
}

bool items_queued(const reader& r) {
  return r.taken < r.queue.size();
}

bool convert_for_run(reader& r) {
  return !r.done && fill_queue(r);
}

const line_item* next_item(reader& r) {
  return next_line(r, true);
}

const line_item* next_text_item(reader& r) {
  return next_line(r, false);
}

const record_batch* next_batch(reader& r, int64_t max_rows) {
  if (!r.started) start(r, false);
  r.want_texts = false;
  return next_run(r.batches, r, std::max<int64_t>(max_rows, 1));
}

const read_error* reader_error(const reader& r) {
  return r.failed ? &r.error : nullptr;
}

read_progress reader_progress(const reader& r) {
  const input_progress progress = input_progress_of(*r.input);
  return {progress.raw_bytes_read, progress.raw_size};
}

std::string render_values(const line_item& item) {
  if (item.kind != item_kind::data_record) return std::string(item.text);
  std::string data;
  std::string text(kLineBufferSize, '\0');
  text.resize(static_cast<size_t>(render_fields(item, data, text.data())));
  return text;
}

}  // namespace asciify
