#include "read/sink_texts.h"

#include <cstring>

namespace asciify {
namespace {

size_t append_arriving(void* context, const char* data, size_t size, int*) {
  auto& texts = *static_cast<sink_texts*>(context);
  const std::lock_guard<std::mutex> lock(texts.mutex);
  texts.arriving.append(data, size);
  return size;
}

// The length of the next line's text in what has arrived, if all of it has.
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

// Moves what has arrived since over, dropping the texts already taken.
void move_arriving(sink_texts& texts) {
  texts.arrived.erase(0, texts.at);
  texts.at = 0;
  const std::lock_guard<std::mutex> lock(texts.mutex);
  texts.arrived.append(texts.arriving);
  texts.arriving.clear();
}

}  // namespace

byte_sink sink_into(sink_texts& texts) {
  return {append_arriving, nullptr, nullptr, &texts};
}

std::optional<std::string_view> take_text(sink_texts& texts, text_extent extent, bool all_written) {
  std::optional<size_t> length = length_in_arrived(texts, extent);
  if (!length) {
    move_arriving(texts);
    length = length_in_arrived(texts, extent);
  }
  if (!length && all_written) length = texts.arrived.size() - texts.at;
  if (!length) return std::nullopt;
  const std::string_view text = std::string_view(texts.arrived).substr(texts.at, *length);
  texts.at += *length;
  return text;
}

}  // namespace asciify
