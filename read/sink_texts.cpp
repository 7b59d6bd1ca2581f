#include "read/sink_texts.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace asciify {
namespace {

size_t append_arriving(void* context, const char* data, size_t size, int*) {
  auto& texts = *static_cast<sink_texts*>(context);
  const std::lock_guard<std::mutex> lock(texts.mutex);
  texts.arriving.append(data, size);
  return size;
}

// What is still to come of the next line's text after the start of it in `straddle`.
text_extent rest_of(const sink_texts& texts, text_extent extent) {
  if (texts.straddle.empty()) return extent;
  if (extent.size != 0) return {extent.size - texts.straddle.size(), 1};
  extent.newlines -=
      static_cast<int32_t>(std::count(texts.straddle.begin(), texts.straddle.end(), '\n'));
  return extent;
}

// The length of the rest of the next line's text in what has arrived, if all of it has.
std::optional<size_t> length_in_arrived(const sink_texts& texts, text_extent extent) {
  const size_t left = texts.arrived.size() - texts.at;
  if (extent.size != 0)
    return extent.size <= left ? std::optional<size_t>(extent.size) : std::nullopt;
  const char* begin = texts.arrived.data() + texts.at;
  const char* from = begin;
  for (int32_t seen = 0; seen < extent.newlines; ++seen) {
    const void* newline = std::memchr(from, '\n', static_cast<size_t>(begin + left - from));
    if (newline == nullptr) return std::nullopt;
    from = static_cast<const char*>(newline) + 1;
  }
  return static_cast<size_t>(from - begin);
}

// Keeps what is left of the buffer taken as the start of the next line's text and takes over
// what has arrived since, the buffers changing places. Returns false when nothing has.
bool take_arriving(sink_texts& texts) {
  texts.straddle.append(texts.arrived, texts.at);
  texts.arrived.clear();
  texts.at = 0;
  const std::lock_guard<std::mutex> lock(texts.mutex);
  texts.arrived.swap(texts.arriving);
  return !texts.arrived.empty();
}

}  // namespace

byte_sink sink_into(sink_texts& texts) {
  return {append_arriving, nullptr, nullptr, &texts};
}

std::string_view take_text(sink_texts& texts, text_extent extent, bool all_written) {
  if (texts.straddle_taken) {
    texts.straddle.clear();
    texts.straddle_taken = false;
  }
  for (;;) {
    const std::optional<size_t> length = length_in_arrived(texts, rest_of(texts, extent));
    if (length && texts.straddle.empty()) {
      const std::string_view text = std::string_view(texts.arrived).substr(texts.at, *length);
      texts.at += *length;
      return text;
    }
    if (length) {
      // Its text began in the buffer taken before.
      texts.straddle.append(texts.arrived, texts.at, *length);
      texts.at += *length;
      texts.straddle_taken = true;
      return texts.straddle;
    }
    if (!take_arriving(texts)) break;
  }
  if (!all_written) return {};
  // All is written: the line is what is left.
  texts.straddle_taken = true;
  return texts.straddle;
}

}  // namespace asciify
