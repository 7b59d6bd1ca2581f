#include "tests/support/random_input.h"

#include <algorithm>
#include <bit>
#include <map>
#include <random>

#include "tests/support/encoder.h"

namespace asciify::test_support {
namespace {

// The field format byte of each packed nibble code.
constexpr uint8_t kNibbleFormats[16] = {0,    0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                        0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};
// Source fields of the hard-wired layouts 0-7 (codes 10-17 and 30-37).
constexpr int kSourceFields[8] = {4, 6, 4, 8, 6, 8, 5, 8};

struct generator {
  std::mt19937 random;
  encoder file;
  std::map<uint8_t, std::vector<uint8_t>> defined;

  random_input build() {
    random_input input;
    for (int section = pick(1, 3); section > 0; --section) {
      file.line("ascii before section");
      ++input.lines;
      file.start_binary(pick(0, 1) ? order::reversed : order::native);
      defined.clear();
      for (int record = pick(5, 40); record > 0; --record) {
        input.lines += add_record();
        file.text_record("#" + std::to_string(input.numbered_lines.size()));
        input.numbered_lines.push_back(input.lines++);
        if (pick(0, 15) == 0) {
          file.suspend_binary().line("suspended").resume_binary();
          ++input.lines;
        }
      }
      file.end_binary();
    }
    input.bytes = file.bytes;
    return input;
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

  // Numbers of each type (0 would end a format), strings, open-ended strings, free format.
  uint8_t random_field_format() {
    const int kind = pick(0, 5);
    if (kind < 4) return static_cast<uint8_t>((kind << 5) | pick(kind == 0 ? 1 : 0, 30));
    if (kind == 4 && pick(0, 3) == 0) return pick(0, 1) ? 0x80 : 0xDF;
    if (kind == 4) return static_cast<uint8_t>(0x81 + pick(0, 20));
    return static_cast<uint8_t>(pick(0, 1) ? 0x1F + 0x20 * pick(0, 3) : 0xFF);
  }

  // An open-ended string may only start a line: later in the line it could overflow the room
  // that open-ended strings are given.
  std::vector<uint8_t> random_format(int low, int high) {
    std::vector<uint8_t> format(pick(low, high));
    for (size_t i = 0; i < format.size(); ++i) {
      format[i] = random_field_format();
      if (i > 0 && (format[i] == 0x80 || format[i] == 0xDF)) format[i] = 0x90;
    }
    return format;
  }

  // A packed format of `count` random codes; `format` receives its field format bytes.
  std::vector<uint8_t> random_nibbles(size_t count, std::vector<uint8_t>* format) {
    std::vector<uint8_t> nibbles(count);
    format->clear();
    for (uint8_t& nibble : nibbles) {
      nibble = static_cast<uint8_t>(pick(1, 15));
      format->push_back(kNibbleFormats[nibble]);
    }
    return nibbles;
  }

  void add_text(int length) {
    for (int i = 0; i < length; ++i) file.byte(static_cast<uint8_t>(pick(0x20, 0x7E)));
  }

  // Appends the data of one field. Returns false once a zero-fill marker was written.
  bool add_field(uint8_t format_byte, bool allow_marker) {
    const bool marker = allow_marker && pick(0, 40) == 0;
    if (format_byte & 0x80) {
      const bool open_ended = format_byte == 0x80 || format_byte == 0xDF;
      const int length = open_ended ? pick(0, 12) : pick(0, std::min(format_byte & 0x7F, 24));
      add_text(length);
      if (open_ended || length < (format_byte & 0x7F)) file.byte(0);
      return true;
    }
    const bool four_bytes = (format_byte & 0x40) == 0;
    if (marker) {
      four_bytes ? file.marker4() : file.marker8();
      return false;
    }
    const uint64_t bits = (static_cast<uint64_t>(random()) << 32) | random();
    const auto low = static_cast<uint32_t>(bits);
    const int type = (format_byte >> 5) & 3;
    if (type == 0) file.i32(static_cast<int32_t>(low));
    if (type == 1) file.f32(pick(0, 1) ? std::bit_cast<float>(low) : pick(-99999, 99999) / 1e3f);
    if (type == 2) file.i64(static_cast<int64_t>(low) << pick(0, 31));
    if (type == 3) {
      file.f64(pick(0, 1) ? std::bit_cast<double>(bits) : pick(-999999, 999999) / 1e4);
    }
    return true;
  }

  // Data of a record read by the line writer: after a marker nothing more is stored.
  void add_line_data(const std::vector<uint8_t>& format) {
    for (const uint8_t format_byte : format) {
      if (!add_field(format_byte, true)) return;
    }
  }

  // Appends one record; returns the lines it writes.
  int add_record() {
    std::vector<uint8_t> format;
    switch (pick(0, 6)) {
      case 0: {
        const bool star = pick(0, 3) == 0;
        file.byte(3).raw(star ? "*x" : "t");
        add_text(pick(0, 30));
        file.byte(0);
        return star ? 2 : 1;
      }
      case 2:
        file.lsf4(random_nibbles(pick(0, 12), &format));
        add_line_data(format);
        return 1;
      case 3:
        file.lsf8(format = random_format(0, 8));
        add_line_data(format);
        return 1;
      case 4:
        if (!defined.empty() && pick(0, 1)) {
          auto slot = std::next(defined.begin(), pick(0, static_cast<int>(defined.size()) - 1));
          file.reset(slot->first);
          defined.erase(slot);
          return 0;
        }
        [[fallthrough]];
      case 1: {
        const auto code = static_cast<uint8_t>(pick(50, 255));
        if (!defined.count(code)) file.define(code, defined[code] = random_format(1, 8));
        file.byte(code);
        add_line_data(defined[code]);
        return 1;
      }
      default:
        add_hardwired_record();
        return 1;
    }
  }

  void add_hardwired_record() {
    const int layout = pick(0, 7);
    const auto code = static_cast<uint8_t>(30 + layout);
    std::vector<uint8_t> format;
    if (pick(0, 1)) {  // the layout's default format
      file.byte(static_cast<uint8_t>(10 + layout));
      format.assign(kSourceFields[layout], 0x08);
      if (layout == 0) format = {0x08, 0x30, 0x30, 0x30};
    } else if (const int selector = pick(0, 2); selector == 0) {
      file.fsf4(code, random_nibbles(pick(kSourceFields[layout], 12), &format));
    } else if (selector == 1) {
      file.fsf8(code, format = random_format(kSourceFields[layout], 12));
    } else {  // the selector names a cached format, defined just before
      const auto cached = static_cast<uint8_t>(pick(50, 255));
      if (defined.count(cached)) file.reset(cached);
      file.define(cached, format = defined[cached] = random_format(kSourceFields[layout], 12));
      file.byte(code).byte(cached);
    }
    // Source fields: after a marker the numbers are gone but strings are still stored.
    bool filling = false;
    for (int k = 0; k < kSourceFields[layout]; ++k) {
      if (filling && !(format[k] & 0x80)) continue;
      if (!add_field(format[k], !filling)) filling = true;
    }
  }
};

}  // namespace

random_input make_random_input(uint32_t seed) {
  return generator{std::mt19937(seed), {}, {}}.build();
}

}  // namespace asciify::test_support
