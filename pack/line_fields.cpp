#include "pack/line_fields.h"

#include <bit>
#include <cstring>

#include "pack/number_fields.h"

namespace asciify {
namespace {

// A stretch of a line: a number with the spaces before it, or text.
struct piece {
  int32_t start;         // first byte; a number's leading spaces start here
  int32_t number_start;  // first byte of a number's text
  int32_t end;           // one past the last byte
  int32_t narrow_start;  // a number after text: the start that gives the line's usual width
  bool number;
  number_text shape;  // a number's text
};

constexpr int32_t kMaxPieces = kMaxRecordLine + 1;
// Strings of a free-format line: width 127, which also marks the line as free format; every
// string is shorter, so its data always end in a zero byte.
constexpr uint8_t kMarkString = 0xFF;
constexpr int32_t kOpenEndedWidth = 95;   // 0xDF is an open-ended string, not width 95
constexpr int32_t kFreeNumberWidth = 31;  // the free-format mark of a number

// The position of the first byte at or after `at` that is no space; eight bytes at a time.
int32_t skip_spaces(const uint8_t* text, int32_t at, int32_t length) {
  constexpr uint64_t kSpaces = 0x2020202020202020ull;
  while (at + 8 <= length) {
    uint64_t word;
    std::memcpy(&word, text + at, 8);
    const uint64_t differs = word ^ kSpaces;
    if (differs != 0) {
      const int zero_bits = std::endian::native == std::endian::little ? std::countr_zero(differs)
                                                                       : std::countl_zero(differs);
      return at + zero_bits / 8;
    }
    at += 8;
  }
  while (at < length && text[at] == ' ') ++at;
  return at;
}

// Cuts a line into pieces: every word that starts with a number gives number pieces (and
// further numbers glued to it by a minus sign, as a field that fills its columns leaves them),
// the rest of the word and words without a number give text pieces.
int32_t cut_into_pieces(const uint8_t* text, int32_t length, piece* pieces) {
  int32_t count = 0;
  int32_t position = 0;
  while (position < length) {
    const int32_t word = skip_spaces(text, position, length);
    int32_t start = position;
    int32_t at = word;
    while (at < length) {
      const number_text shape = match_number(text, at, length);
      if (shape.end == at) break;
      pieces[count++] = {start, at, shape.end, start, true, shape};
      start = at = shape.end;
      if (at >= length || text[at] != '-') break;
    }
    int32_t word_end = at;
    while (word_end < length && text[word_end] != ' ') ++word_end;
    if (word_end > start && (start == position || at < word_end)) {
      pieces[count++] = {start, start, word_end, start, false, {}};
    }
    position = word_end;
  }
  return count;
}

// A number after text shares its leading spaces with the text's padding. Where the line's
// other numbers agree on a width (the commonest one), such a number takes that width and the
// text the remaining spaces, so that lines of one layout keep one format.
void choose_narrow_starts(piece* pieces, int32_t count) {
  bool after_text = false;
  for (int32_t i = 1; i < count && !after_text; ++i) {
    after_text = pieces[i].number && !pieces[i - 1].number;
  }
  if (!after_text) return;
  int32_t tally[kMaxNumberWidth + 1] = {};
  for (int32_t i = 0; i < count; ++i) {
    const int32_t width = pieces[i].end - pieces[i].start;
    if (pieces[i].number && (i == 0 || pieces[i - 1].number) && width <= kMaxNumberWidth) {
      ++tally[width];
    }
  }
  int32_t usual = 0;
  for (int32_t width = 1; width <= kMaxNumberWidth; ++width) {
    if (tally[width] > tally[usual]) usual = width;
  }
  if (usual == 0) return;
  for (int32_t i = 1; i < count; ++i) {
    piece& p = pieces[i];
    if (!p.number || pieces[i - 1].number) continue;
    if (usual >= p.end - p.number_start && usual < p.end - p.start) p.narrow_start = p.end - usual;
  }
}

// Appends fields and their data, as long as the data fit a record.
struct field_builder {
  const uint8_t* text;
  line_fields* out;
  bool fits = true;

  void add(uint8_t format, const uint8_t* data, int32_t size) {
    if (out->count >= kMaxRecordLine || out->data_size + size > kMaxRecordSize - 1) {
      fits = false;
      return;
    }
    out->formats[out->count++] = format;
    std::memcpy(out->data + out->data_size, data, static_cast<size_t>(size));
    out->data_size += size;
  }

  // One string field holding `length` characters from text[from]: the characters and a zero
  // byte when they are fewer than the field's width. In fixed columns (`padded`) the writer
  // pads the field with spaces, so trailing spaces need not be stored.
  void add_string(int32_t from, int32_t length, uint8_t format, bool padded) {
    const int32_t width = format & 0x7F;
    int32_t kept = length;
    while (padded && kept > 0 && text[from + kept - 1] == ' ') --kept;
    uint8_t data[kMaxStringWidth + 2];
    std::memcpy(data, text + from, static_cast<size_t>(kept));
    if (kept < width) data[kept++] = 0;
    add(format, data, kept);
  }

  // Text in fixed columns, in fields of at most kMaxStringWidth characters.
  void add_text(int32_t from, int32_t to) {
    while (from < to) {
      int32_t width = to - from < kMaxStringWidth ? to - from : kMaxStringWidth;
      if (width == kOpenEndedWidth) --width;
      add_string(from, width, static_cast<uint8_t>(0x80 | width), true);
      from += width;
    }
  }

  void add_number(const number_field& f) { add(f.format, f.data, f.size); }
};

// Fixed columns: numbers that their writer renders exactly, the rest as strings.
bool assemble_fixed(const uint8_t* text, int32_t length, const piece* pieces, int32_t count,
                    const number_order& numbers, line_fields* out) {
  out->count = 0;
  out->data_size = 0;
  out->free_format = false;
  field_builder fields{text, out};
  int32_t text_start = -1;  // start of the text not yet in a field
  for (int32_t i = 0; i < count && fields.fits; ++i) {
    const piece& p = pieces[i];
    number_field f;
    int32_t chosen = -1;
    const int32_t starts[2] = {p.narrow_start, p.start};
    const int32_t tries = !p.number ? 0 : p.narrow_start != p.start ? 2 : 1;
    for (int32_t k = 0; k < tries && chosen < 0; ++k) {
      const int32_t start = starts[k];
      const int32_t from = start > p.end - kMaxNumberWidth ? start : p.end - kMaxNumberWidth;
      if (fixed_number_field(text + from, p.end - from, p.shape, numbers, &f)) {
        chosen = from;
      }
    }
    if (chosen < 0) {
      if (text_start < 0) text_start = p.start;
      continue;
    }
    if (text_start < 0 && chosen > p.start) text_start = p.start;
    if (text_start >= 0) fields.add_text(text_start, chosen);
    text_start = -1;
    fields.add_number(f);
  }
  if (text_start >= 0) fields.add_text(text_start, length);
  return fields.fits;
}

// Free format: the tokens between commas are numbers or text; neighbouring text tokens form
// one string with their commas.
bool assemble_free(const uint8_t* text, int32_t length, const number_order& numbers,
                   line_fields* out) {
  out->count = 0;
  out->data_size = 0;
  out->free_format = true;
  field_builder fields{text, out};
  bool marked = false;
  int32_t text_start = -1;
  auto end_text = [&](int32_t end) {
    if (text_start < 0) return;
    if (end - text_start > kMaxStringWidth) fields.fits = false;
    if (fields.fits) fields.add_string(text_start, end - text_start, kMarkString, false);
    marked = true;
    text_start = -1;
  };
  for (int32_t start = 0; start <= length && fields.fits;) {
    const void* comma = std::memchr(text + start, ',', static_cast<size_t>(length - start));
    const int32_t end =
        comma ? static_cast<int32_t>(static_cast<const uint8_t*>(comma) - text) : length;
    number_field f;
    if (free_number_field(text + start, end - start, numbers, &f)) {
      end_text(start - 1);
      fields.add_number(f);
      marked = marked || (f.format & 0x1F) == kFreeNumberWidth;
    } else if (text_start < 0) {
      text_start = start;
    }
    start = end + 1;
  }
  end_text(length);
  return fields.fits && marked;
}

}  // namespace

number_order make_number_order(byte_order order) {
  return {order, order == native_byte_order() ? 0 : 1};
}

bool split_fields(const uint8_t* text, int32_t length, const number_order& numbers,
                  line_fields* out) {
  if (length > kMaxRecordLine) return false;
  piece pieces[kMaxPieces];
  const int32_t count = cut_into_pieces(text, length, pieces);
  choose_narrow_starts(pieces, count);
  bool fixed = assemble_fixed(text, length, pieces, count, numbers, out);
  if (!fixed) {
    // Numbers take more data than their text: the line as strings alone.
    out->count = 0;
    out->data_size = 0;
    field_builder fields{text, out};
    fields.add_text(0, length);
    fixed = fields.fits;
  }
  if (std::memchr(text, ',', static_cast<size_t>(length)) == nullptr) return fixed;
  static thread_local line_fields free_fields;
  if (!assemble_free(text, length, numbers, &free_fields)) return fixed;
  if (!fixed || free_fields.data_size + free_fields.count < out->data_size + out->count) {
    *out = free_fields;
  }
  return true;
}

int32_t field_data_size(uint8_t format, const uint8_t* data) {
  if ((format & 0x80) == 0) return (format & 0x40) != 0 ? 8 : 4;
  const int32_t width = format & 0x7F;
  if (format == 0x80 || format == 0xDF) {
    return static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(data))) + 1;
  }
  const void* zero = std::memchr(data, 0, static_cast<size_t>(width));
  return zero ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - data) + 1 : width;
}

}  // namespace asciify
