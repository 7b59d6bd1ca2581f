#include "output/output_file.h"

#include <algorithm>
#include <cerrno>

namespace asciify {
namespace {

constexpr uint32_t kKindBit = 0x80000000u;
// A line end for every eight bytes of buffer on average: short lines flush a little early.
constexpr uint32_t kBytesPerEnd = 8;

uint32_t end_offset(uint32_t end) {
  return end & ~kKindBit;
}

line_kind end_kind(uint32_t end) {
  return (end & kKindBit) != 0 ? line_kind::formatted : line_kind::plain;
}

// Records what reached the destination when it took only `accepted` of the buffered bytes,
// and cuts a line that reached it in part.
void note_failure(output_file& file, size_t accepted, int error) {
  const uint32_t* ends = file.ends.get();
  // Lines that ended within the accepted bytes reached the destination whole.
  const uint32_t* first_short =
      std::upper_bound(ends, ends + file.end_count, accepted,
                       [](size_t offset, uint32_t end) { return offset < end_offset(end); });
  const auto whole = static_cast<uint32_t>(first_short - ends);
  file.lines_in_output += whole;
  if (whole > 0) file.end_of_lines = file.flushed + end_offset(ends[whole - 1]);

  write_failure& failure = file.failure;
  failure.lines_in_output = file.lines_in_output;
  failure.error = error;
  const bool line_complete = whole < file.end_count;
  const int64_t line_end =
      file.flushed + (line_complete ? end_offset(ends[whole]) : static_cast<int64_t>(file.used));
  failure.kind = line_complete ? end_kind(ends[whole]) : file.open_kind;
  failure.line_length = line_end - file.end_of_lines;
  failure.line_accepted = file.flushed + static_cast<int64_t>(accepted) - file.end_of_lines;
  if (failure.line_accepted > 0 && file.sink.cut != nullptr) {
    file.sink.cut(file.sink.context, failure.line_accepted);
  }
  file.flushed += static_cast<int64_t>(accepted);
  file.failed = true;
}

}  // namespace

void open_output_file(output_file& file, byte_sink sink, size_t capacity, bool line_buffered) {
  file = output_file{};
  file.sink = sink;
  file.line_buffered = line_buffered;
  file.capacity = std::max(capacity, kMinOutputBuffer);
  file.buffer = std::make_unique<char[]>(file.capacity);
  file.end_capacity = static_cast<uint32_t>(file.capacity / kBytesPerEnd);
  file.ends = std::make_unique<uint32_t[]>(file.end_capacity);
}

bool flush_output(output_file& file) {
  if (file.failed) return false;
  if (file.used == 0 && file.end_count == 0) return true;
  for (size_t accepted = 0; accepted < file.used;) {
    int error = 0;
    const size_t taken = file.sink.write(file.sink.context, file.buffer.get() + accepted,
                                         file.used - accepted, &error);
    accepted += taken;
    if (error != 0 || taken == 0) {
      note_failure(file, accepted, error != 0 ? error : EIO);
      return false;
    }
  }
  file.lines_in_output += file.end_count;
  if (file.end_count > 0) {
    file.end_of_lines = file.flushed + end_offset(file.ends[file.end_count - 1]);
  }
  file.flushed += static_cast<int64_t>(file.used);
  file.used = 0;
  file.end_count = 0;
  return true;
}

}  // namespace asciify
