// The eight hard-wired layouts of codes 10-17 (default field formats) and 30-37 (a 'long'
// format given in the record): which source field of the record goes to each output field,
// and the appended zero fields.
#pragma once

#include <cstdint>

#include "format/format_codes.h"

namespace asciify {

constexpr int32_t kHardwiredLayoutCount = 8;
// An output field that is an appended zero: a 4-byte integer of value 0 (four zero bytes in
// the staged data) whose width is the low five bits of the reference field's format byte.
constexpr int32_t kZeroField = -1;

struct hardwired_layout {
  int32_t source_fields;   // fields the record carries
  int32_t output_fields;   // fields of the line: 6 or 10
  int32_t sources[10];     // the source field of each output field, or kZeroField
  int32_t zero_reference;  // the source field whose format byte sizes the zero fields; -1: none
};

constexpr hardwired_layout kHardwiredLayouts[kHardwiredLayoutCount] = {
    {4, 6, {0, 1, 2, 3, kZeroField, kZeroField}, 0},
    {6, 10, {0, 1, 2, 3, 4, 5, 5, 5, 5, 5}, -1},
    {4, 10, {0, 1, 2, 3, 3, 3, 3, 3, kZeroField, kZeroField}, 3},
    {8, 10, {0, 1, 2, 3, 4, 5, 6, 6, 7, 7}, -1},
    {6, 10, {0, 1, 2, 3, 4, 4, 5, 5, kZeroField, kZeroField}, 4},
    {8, 10, {0, 1, 2, 3, 4, 5, 6, 7, kZeroField, kZeroField}, 7},
    {5, 6, {0, 1, 2, 3, 4, 4}, -1},
    {8, 10, {0, 1, 2, 3, 4, 4, 5, 6, 7, 7}, -1},
};

// The default field formats of codes 10-17: 4-byte integers in 8 columns, except the three
// reals (4-byte, 16 columns) of code 10.
constexpr uint8_t kDefaultInteger = 0x08;
constexpr uint8_t kDefaultReal = 0x30;
constexpr uint8_t default_source_format(int32_t layout_index, int32_t source) {
  return layout_index == 0 && source > 0 ? kDefaultReal : kDefaultInteger;
}

// The field format byte of an appended zero field, from its reference field's.
constexpr uint8_t zero_field_format(uint8_t reference) {
  return reference & 0x1F;
}

// The layout of a code 10-17 or 30-37, by its index 0-7.
constexpr int32_t hardwired_layout_index(uint8_t code) {
  return code >= FC_FIRST_LONG_LAYOUT ? code - FC_FIRST_LONG_LAYOUT
                                      : code - FC_FIRST_DEFAULT_LAYOUT;
}

// Whether `code` is one of the sixteen hard-wired codes.
constexpr bool is_hardwired_code(uint8_t code) {
  return (code >= FC_FIRST_DEFAULT_LAYOUT &&
          code < FC_FIRST_DEFAULT_LAYOUT + kHardwiredLayoutCount) ||
         (code >= FC_FIRST_LONG_LAYOUT && code < FC_FIRST_LONG_LAYOUT + kHardwiredLayoutCount);
}

}  // namespace asciify
