// Valid inputs generated from a seed, with every kind of record in random formats and byte
// orders, each record followed by a numbered text line. The conversion must finish, write the
// expected number of lines, and show every numbered line intact where it belongs: a record
// that consumed one byte too many or too few would shift or garble what follows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support/convert_in_memory.h"
#include "tests/support/encoder.h"

namespace asciify::testing {
namespace {

class record_generator {
 public:
  explicit record_generator(uint32_t seed) : random_(seed) {}

  // Builds the input and the list of output line numbers (from 0) of the numbered lines.
  std::string build(std::vector<int64_t>* sentinel_lines, int64_t* total_lines) {
    encoder file;
    int64_t lines = 0;
    const int sections = pick(1, 3);
    for (int section = 0; section < sections; ++section) {
      file.line("ascii before section");
      ++lines;
      file.start_binary(pick(0, 1) ? order::reversed : order::native);
      defined_.clear();
      const int records = pick(5, 40);
      for (int record = 0; record < records; ++record) {
        lines += add_record(file);
        file.text_record("#" + std::to_string(sentinel_lines->size()));
        sentinel_lines->push_back(lines++);
        if (pick(0, 15) == 0) {
          file.suspend_binary().line("suspended").resume_binary();
          ++lines;
        }
      }
      file.end_binary();
    }
    *total_lines = lines;
    return file.bytes;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  uint8_t random_field_format() {
    switch (pick(0, 5)) {
      case 0:
        return static_cast<uint8_t>(pick(1, 30));  // 4-byte integer; 0 would end the format
      case 1:
        return static_cast<uint8_t>(0x20 | pick(0, 30));
      case 2:
        return static_cast<uint8_t>(0x40 | pick(0, 30));
      case 3:
        return static_cast<uint8_t>(0x60 | pick(0, 30));
      case 4:
        return pick(0, 3) == 0 ? static_cast<uint8_t>(pick(0, 1) ? 0x80 : 0xDF)
                               : static_cast<uint8_t>(0x81 + pick(0, 20));
      default:
        return static_cast<uint8_t>(pick(0, 1) ? 0x1F + 0x20 * pick(0, 3) : 0xFF);  // free
    }
  }

  // An open-ended string may only start a line: later in the line it could overflow the
  // room that open-ended strings are given.
  std::vector<uint8_t> random_format(int low, int high) {
    std::vector<uint8_t> format(pick(low, high));
    for (size_t i = 0; i < format.size(); ++i) {
      format[i] = random_field_format();
      if (i > 0 && (format[i] == 0x80 || format[i] == 0xDF)) format[i] = 0x90;
    }
    return format;
  }

  void add_text(encoder& file, int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(pick(0x20, 0x7E)));
    file.raw(text);
  }

  // Appends the data of one field. Returns false once a zero-fill marker was written.
  bool add_field(encoder& file, uint8_t format_byte, bool allow_marker) {
    const bool marker = allow_marker && pick(0, 40) == 0;
    if (format_byte & 0x80) {
      const int width = format_byte & 0x7F;
      const bool open_ended = format_byte == 0x80 || format_byte == 0xDF;
      const int length = open_ended ? pick(0, 12) : pick(0, std::min(width, 24));
      add_text(file, length);
      if (open_ended || length < width) file.byte(0);
      return true;
    }
    switch (format_byte & 0x60) {
      case 0x00:
        marker ? file.marker4() : file.i32(static_cast<int32_t>(random_()));
        break;
      case 0x20: {
        float value;
        const uint32_t bits = static_cast<uint32_t>(random_());
        std::memcpy(&value, &bits, 4);
        marker ? file.marker4() : file.f32(pick(0, 1) ? value : pick(-99999, 99999) / 1000.0f);
        break;
      }
      case 0x40:
        marker ? file.marker8() : file.i64(static_cast<int64_t>(random_()) << pick(0, 31));
        break;
      default: {
        double value;
        const uint64_t bits = (static_cast<uint64_t>(random_()) << 32) | random_();
        std::memcpy(&value, &bits, 8);
        marker ? file.marker8() : file.f64(pick(0, 1) ? value : pick(-999999, 999999) / 1e4);
        break;
      }
    }
    return !marker;
  }

  // Data of a record read by the line writer: after a marker nothing more is stored.
  void add_line_data(encoder& file, const std::vector<uint8_t>& format) {
    for (uint8_t byte : format) {
      if (!add_field(file, byte, true)) return;
    }
  }

  int add_record(encoder& file) {
    switch (pick(0, 6)) {
      case 0: {
        const bool star = pick(0, 3) == 0;
        file.byte(3).raw(star ? "*x" : "t");
        add_text(file, pick(0, 30));
        file.byte(0);
        return star ? 2 : 1;
      }
      case 1:
        return add_cached_record(file);
      case 2: {
        std::vector<uint8_t> nibbles(pick(0, 12));
        for (uint8_t& nibble : nibbles) nibble = static_cast<uint8_t>(pick(1, 15));
        file.byte(1);
        std::vector<uint8_t> codes = nibbles;
        codes.push_back(0);
        if (codes.size() % 2) codes.push_back(0);
        for (size_t i = 0; i < codes.size(); i += 2) file.byte((codes[i] << 4) | codes[i + 1]);
        std::vector<uint8_t> format;
        for (uint8_t nibble : nibbles) format.push_back(packed_format_byte(nibble));
        add_line_data(file, format);
        return 1;
      }
      case 3: {
        const std::vector<uint8_t> format = random_format(0, 8);
        file.byte(2);
        for (uint8_t byte : format) file.byte(byte);
        file.byte(0);
        add_line_data(file, format);
        return 1;
      }
      case 4:
        if (!defined_.empty() && pick(0, 1)) {
          auto slot = defined_.begin();
          std::advance(slot, pick(0, static_cast<int>(defined_.size()) - 1));
          file.reset(slot->first);
          defined_.erase(slot);
          return 0;
        }
        return add_cached_record(file);
      default:
        return add_hardwired_record(file);
    }
  }

  static uint8_t packed_format_byte(uint8_t nibble) {
    static const uint8_t table[16] = {0,    0x08, 0x0A, 0x14, 0x50, 0x54, 0x2A, 0x30,
                                      0x34, 0x6A, 0x70, 0x74, 0x88, 0x8A, 0x90, 0x94};
    return table[nibble];
  }

  int add_cached_record(encoder& file) {
    const uint8_t code = static_cast<uint8_t>(pick(50, 255));
    if (!defined_.count(code)) {
      std::vector<uint8_t> format = random_format(1, 8);
      file.byte(code);
      for (uint8_t byte : format) file.byte(byte);
      file.byte(0);
      defined_[code] = format;
    }
    file.byte(code);
    add_line_data(file, defined_[code]);
    return 1;
  }

  int add_hardwired_record(encoder& file) {
    static const int kSourceFields[8] = {4, 6, 4, 8, 6, 8, 5, 8};
    const int layout = pick(0, 7);
    std::vector<uint8_t> format;
    if (pick(0, 1)) {
      file.byte(static_cast<uint8_t>(10 + layout));
      format.assign(kSourceFields[layout], 0x08);
      if (layout == 0) format = {0x08, 0x30, 0x30, 0x30};
    } else {
      format = random_format(kSourceFields[layout], 12);
      const int selector = pick(0, 2);
      if (selector == 0) {
        // A packed format can only hold the field format bytes of the nibble table.
        std::vector<uint8_t> nibbles(format.size());
        for (size_t i = 0; i < format.size(); ++i) {
          nibbles[i] = static_cast<uint8_t>(pick(1, 15));
          format[i] = packed_format_byte(nibbles[i]);
        }
        nibbles.push_back(0);
        if (nibbles.size() % 2) nibbles.push_back(0);
        file.byte(static_cast<uint8_t>(30 + layout)).byte(1);
        for (size_t i = 0; i < nibbles.size(); i += 2) {
          file.byte((nibbles[i] << 4) | nibbles[i + 1]);
        }
      } else if (selector == 1) {
        file.byte(static_cast<uint8_t>(30 + layout)).byte(2);
        for (uint8_t byte : format) file.byte(byte);
        file.byte(0);
      } else {
        // The selector names a cached format, defined just before.
        const uint8_t code = static_cast<uint8_t>(pick(50, 255));
        if (defined_.count(code)) file.reset(code);
        file.byte(code);
        for (uint8_t byte : format) file.byte(byte);
        file.byte(0);
        defined_[code] = format;
        file.byte(static_cast<uint8_t>(30 + layout)).byte(code);
      }
    }
    // Source fields: after a marker the numbers are gone but strings are still stored.
    bool filling = false;
    for (int k = 0; k < kSourceFields[layout]; ++k) {
      if (filling && !(format[k] & 0x80)) continue;
      if (!add_field(file, format[k], !filling)) filling = true;
    }
    return 1;
  }

  std::mt19937 random_;
  std::map<uint8_t, std::vector<uint8_t>> defined_;
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(RoundTrip, EveryRecordIsConsumedExactly) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    record_generator generator(seed);
    std::vector<int64_t> sentinel_lines;
    int64_t total_lines = 0;
    const std::string input = generator.build(&sentinel_lines, &total_lines);

    const conversion_capture result = convert_in_memory(input);
    ASSERT_EQ(result.status, 0) << "seed " << seed << ": " << result.messages;
    ASSERT_EQ(result.lines_written, total_lines) << "seed " << seed;
    const std::vector<std::string> lines = split_lines(result.output);
    ASSERT_EQ(static_cast<int64_t>(lines.size()), total_lines) << "seed " << seed;
    for (size_t i = 0; i < sentinel_lines.size(); ++i) {
      ASSERT_EQ(lines[sentinel_lines[i]], "#" + std::to_string(i)) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace asciify::testing
