#include "pack/field_records.h"

#include <array>
#include <climits>
#include <cstring>

#include "format/field_format.h"
#include "format/format_codes.h"
#include "format/hardwired_layouts.h"

namespace asciify {
namespace {

// A hard-wired layout as the planner looks at it: the shared table's layout with, derived from
// it, where each source field first appears and which output fields repeat the one before.
struct layout_view {
  const hardwired_layout* layout;
  int8_t first[8] = {};          // output position where each source field first appears
  uint32_t repeats = 0;          // bit p: field p repeats field p - 1
  int32_t first_zero_field = 0;  // position of the first appended zero field (outputs: none)
};

constexpr layout_view view_of(const hardwired_layout& layout) {
  layout_view view{&layout};
  view.first_zero_field = layout.output_fields;
  for (int32_t p = layout.output_fields - 1; p >= 0; --p) {
    const int32_t s = layout.sources[p];
    if (s == kZeroField) view.first_zero_field = p;
    if (s != kZeroField) view.first[s] = static_cast<int8_t>(p);
    if (p > 0 && s != kZeroField && layout.sources[p - 1] == s) view.repeats |= 1u << p;
  }
  return view;
}

const std::array<layout_view, kHardwiredLayoutCount> kLayouts = [] {
  std::array<layout_view, kHardwiredLayoutCount> views{};
  for (int32_t l = 0; l < kHardwiredLayoutCount; ++l) {
    views[l] = view_of(kHardwiredLayouts[l]);
  }
  return views;
}();

// The output position where source field s first appears.
int32_t first_position(const layout_view& layout, int32_t s) {
  return layout.first[s];
}

bool is_string(uint8_t format) {
  return decompose_field_format(format).type == field_type::string;
}

// The field can be left to a zero fill: a number whose value is zero, or a fixed-width string
// of spaces only (stored as its zero byte alone).
bool fills_with_zero(uint8_t format, const uint8_t* data, int32_t size) {
  if (is_string(format)) return !decompose_field_format(format).open_ended && data[0] == 0;
  for (int32_t i = 0; i < size; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

bool nibble_form(const uint8_t* formats, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (nibble_of(formats[i]) == 0) return false;
  }
  return true;
}

int32_t packed_size(int32_t count) {
  return (count + 2) / 2;  // the codes and the zero code, two to a byte
}

// Where each field's data begin; offsets[count] is the end.
void field_offsets(const line_fields& fields, int32_t* offsets) {
  int32_t at = 0;
  for (int32_t i = 0; i < fields.count; ++i) {
    offsets[i] = at;
    at += field_data_size(fields.formats[i], fields.data + at);
  }
  offsets[fields.count] = at;
}

// Cost of a cached format for the bytes beyond the record's code: 0 when defined. A layout
// met before is expected to come back, so its definition is spread over the records that will
// use it and counts 1; a new layout is no candidate (INT_MAX).
int32_t cached_overhead(const format_cache& cache, const uint8_t* bytes, int32_t count,
                        uint64_t hash, int32_t* code) {
  *code = find_cached_code(cache, bytes, count, hash);
  if (*code != 0) return 0;
  if (count < 1 || count > kMaxDefinedFormat || !seen_before(cache, hash)) return INT_MAX;
  return 1;
}

void consider(record_plan& best, const record_plan& candidate) {
  if (candidate.cost < best.cost) best = candidate;
}

// The line writer's records: cached, packed or plain line-specific format.
void plan_line_writer(const format_cache& cache, const line_fields& fields, const int32_t* offsets,
                      uint64_t line_hash, record_plan& best) {
  record_plan base;
  base.line_hash = line_hash;
  base.data_end = fields.data_size;
  if (!fields.free_format) {
    int32_t first_zero = fields.count;
    while (first_zero > 0 &&
           fills_with_zero(fields.formats[first_zero - 1], fields.data + offsets[first_zero - 1],
                           offsets[first_zero] - offsets[first_zero - 1])) {
      --first_zero;
    }
    while (first_zero < fields.count && is_string(fields.formats[first_zero])) ++first_zero;
    if (first_zero < fields.count) {
      base.data_end = offsets[first_zero];
      base.marker_size = offsets[first_zero + 1] - offsets[first_zero];
    }
  }
  const int32_t data = base.data_end + base.marker_size;
  record_plan p = base;
  const int32_t overhead =
      cached_overhead(cache, fields.formats, fields.count, base.line_hash, &p.code);
  if (overhead != INT_MAX) {
    p.form = record_form::cached;
    p.cost = overhead + 1 + data;
    consider(best, p);
  }
  if (nibble_form(fields.formats, fields.count) &&
      1 + packed_size(fields.count) + data <= kMaxRecordSize) {
    p = base;
    p.form = record_form::lsf4;
    p.cost = 1 + packed_size(fields.count) + data;
    consider(best, p);
  }
  if (2 + fields.count + data <= kMaxRecordSize) {
    p = base;
    p.form = record_form::lsf8;
    p.cost = 2 + fields.count + data;
    consider(best, p);
  }
  if (best.form == record_form::none && fields.count >= 1 && fields.count <= kMaxDefinedFormat) {
    // Only a cached format carries the line: define it although the layout is new.
    bool needs_reset = false;
    code_for_definition(cache, &needs_reset);
    p = base;
    p.form = record_form::cached;
    p.code = 0;
    p.cost = (needs_reset ? 2 : 0) + fields.count + 2 + 1 + data;
    consider(best, p);
  }
}

// The field is a number of value zero.
bool numeric_zero(const line_fields& fields, const int32_t* offsets, int32_t p) {
  const uint8_t format = fields.formats[p];
  return !is_string(format) &&
         fills_with_zero(format, fields.data + offsets[p], offsets[p + 1] - offsets[p]);
}

bool same_data(const uint8_t* a, const uint8_t* b, int32_t size) {
  if (size == 4) {
    uint32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x == y;
  }
  return std::memcmp(a, b, static_cast<size_t>(size)) == 0;
}

// What the hard-wired layouts look at in a line of 6 or 10 fields, found once.
struct line_summary {
  uint32_t same_format = 0;  // bit p: field p has the format of field p - 1
  uint32_t same_value = 0;   // bit p: ... and the same data
  int32_t zero_from = 0;     // every field from here on is a number of value zero
  bool strings = false;
  int32_t staging = 0;  // bytes the line stages
};

line_summary summarize_line(const line_fields& fields, const int32_t* offsets) {
  line_summary sum;
  const uint8_t* f = fields.formats;
  for (int32_t p = 0; p < fields.count; ++p) {
    const int32_t size = offsets[p + 1] - offsets[p];
    sum.strings = sum.strings || is_string(f[p]);
    sum.staging += is_string(f[p]) ? (f[p] & 0x7F) : size;
    if (p == 0 || f[p] != f[p - 1]) continue;
    sum.same_format |= 1u << p;
    if (size == offsets[p] - offsets[p - 1] &&
        same_data(fields.data + offsets[p], fields.data + offsets[p - 1], size)) {
      sum.same_value |= 1u << p;
    }
  }
  sum.zero_from = fields.count;
  while (sum.zero_from > 0 && numeric_zero(fields, offsets, sum.zero_from - 1)) --sum.zero_from;
  return sum;
}

// Whether the line is one of the layout's lines; sets the source fields to write. A zero-fill
// marker may stand in the first source field from which every field of the line is zero.
bool match_layout(const line_fields& fields, const line_summary& sum, const layout_view& layout,
                  record_plan* plan) {
  const int32_t outputs = layout.layout->output_fields;
  const int32_t sources = layout.layout->source_fields;
  if ((sum.same_format & layout.repeats) != layout.repeats) return false;
  if (sum.zero_from > layout.first_zero_field || sum.staging > kHardwiredStaging) {
    return false;
  }
  if (const int32_t reference = layout.layout->zero_reference; reference >= 0) {
    const uint8_t zero_format = zero_field_format(fields.formats[layout.first[reference]]);
    for (int32_t p = layout.first_zero_field; p < outputs; ++p) {
      if (fields.formats[p] != zero_format) return false;
    }
  }
  plan->sources_written = sources;
  plan->source_marker = false;
  int32_t fill_start = outputs;
  for (int32_t s = 0; s < sources && !sum.strings; ++s) {
    if (layout.first[s] >= sum.zero_from) {
      plan->sources_written = s + 1;
      plan->source_marker = true;
      fill_start = layout.first[s];
      break;
    }
  }
  const uint32_t checked = layout.repeats & ((1u << fill_start) - 1);
  return (sum.same_value & checked) == checked;
}

bool default_formats(const line_fields& fields, int32_t layout, int32_t sources) {
  for (int32_t s = 0; s < sources; ++s) {
    const uint8_t expected = default_source_format(layout, s);
    if (fields.formats[first_position(kLayouts[layout], s)] != expected) return false;
  }
  return true;
}

void source_formats(const line_fields& fields, const layout_view& layout, uint8_t* out) {
  for (int32_t s = 0; s < layout.layout->source_fields; ++s) {
    out[s] = fields.formats[first_position(layout, s)];
  }
}

void plan_hardwired(const format_cache& cache, const line_fields& fields, const int32_t* offsets,
                    uint64_t line_hash, record_plan& best) {
  if (fields.free_format || (fields.count != 6 && fields.count != 10)) return;
  const line_summary sum = summarize_line(fields, offsets);
  for (int32_t l = 0; l < kHardwiredLayoutCount; ++l) {
    const layout_view& layout = kLayouts[l];
    const int32_t sources_count = layout.layout->source_fields;
    if (layout.layout->output_fields != fields.count) continue;
    record_plan p;
    p.line_hash = line_hash;
    if (!match_layout(fields, sum, layout, &p)) continue;
    p.layout = l;
    // Source data: each source field once.
    int32_t source_data = 0;
    for (int32_t s = 0; s < p.sources_written; ++s) {
      const int32_t q = first_position(layout, s);
      source_data += offsets[q + 1] - offsets[q];
    }
    if (default_formats(fields, l, sources_count)) {
      p.form = record_form::hardwired;
      p.cost = 1 + source_data;
      consider(best, p);
      continue;
    }
    uint8_t sources[8];
    source_formats(fields, layout, sources);
    p.form = record_form::hardwired_long;
    p.source_hash = hash_format(sources, sources_count);
    const int32_t overhead = cached_overhead(cache, sources, sources_count, p.source_hash, &p.code);
    if (overhead != INT_MAX) {
      p.selector = selector_form::cached;
      p.cost = overhead + 2 + source_data;
      consider(best, p);
    }
    if (nibble_form(sources, sources_count)) {
      p.selector = selector_form::fsf4;
      p.cost = 2 + packed_size(sources_count) + source_data;
      consider(best, p);
    }
    p.selector = selector_form::fsf8;
    p.cost = 2 + sources_count + 1 + source_data;
    consider(best, p);
  }
}

void put(std::vector<uint8_t>& out, uint8_t byte) {
  out.push_back(byte);
}

void put(std::vector<uint8_t>& out, const uint8_t* bytes, int32_t count) {
  out.insert(out.end(), bytes, bytes + count);
}

void put_marker(std::vector<uint8_t>& out, int32_t size, byte_order order) {
  uint8_t marker[8] = {};
  marker[order == byte_order::little ? size - 1 : 0] = 0x80;
  put(out, marker, size);
}

void put_packed(std::vector<uint8_t>& out, const uint8_t* formats, int32_t count) {
  for (int32_t i = 0; i <= count; i += 2) {
    const uint8_t high = i < count ? nibble_of(formats[i]) : 0;
    const uint8_t low = i + 1 < count ? nibble_of(formats[i + 1]) : 0;
    put(out, static_cast<uint8_t>(high << 4 | low));
  }
}

// The code that holds the bytes, defining it first (after a reset when every code is taken).
int32_t cached_code(format_cache& cache, const uint8_t* bytes, int32_t count, uint64_t hash,
                    int32_t known_code, std::vector<uint8_t>& out) {
  if (known_code != 0) {
    touch_code(cache, known_code);
    return known_code;
  }
  bool needs_reset = false;
  const int32_t code = code_for_definition(cache, &needs_reset);
  if (needs_reset) {
    put(out, FC_RESET_FORMAT);
    put(out, static_cast<uint8_t>(code));
  }
  put(out, static_cast<uint8_t>(code));
  put(out, bytes, count);
  put(out, 0);
  define_cached_code(cache, code, bytes, count, hash);
  return code;
}

void write_hardwired(format_cache& cache, const line_fields& fields, const record_plan& plan,
                     byte_order order, std::vector<uint8_t>& out) {
  const layout_view& layout = kLayouts[plan.layout];
  const int32_t sources_count = layout.layout->source_fields;
  uint8_t sources[8];
  source_formats(fields, layout, sources);
  int32_t offsets[kMaxRecordLine + 1];
  field_offsets(fields, offsets);
  if (plan.form == record_form::hardwired) {
    put(out, static_cast<uint8_t>(FC_FIRST_DEFAULT_LAYOUT + plan.layout));
  } else if (plan.selector == selector_form::cached) {
    const int32_t code =
        cached_code(cache, sources, sources_count, plan.source_hash, plan.code, out);
    put(out, static_cast<uint8_t>(FC_FIRST_LONG_LAYOUT + plan.layout));
    put(out, static_cast<uint8_t>(code));
  } else {
    put(out, static_cast<uint8_t>(FC_FIRST_LONG_LAYOUT + plan.layout));
    put(out, plan.selector == selector_form::fsf4 ? FSF4 : FSF8);
    if (plan.selector == selector_form::fsf4) {
      put_packed(out, sources, sources_count);
    } else {
      put(out, sources, sources_count);
      put(out, 0);
    }
  }
  for (int32_t s = 0; s < plan.sources_written; ++s) {
    const int32_t q = first_position(layout, s);
    const int32_t size = offsets[q + 1] - offsets[q];
    if (plan.source_marker && s == plan.sources_written - 1) {
      put_marker(out, size, order);
    } else {
      put(out, fields.data + offsets[q], size);
    }
  }
}

}  // namespace

record_plan plan_fields_record(const format_cache& cache, const line_fields& fields) {
  record_plan best;
  best.cost = INT_MAX;
  int32_t offsets[kMaxRecordLine + 1];
  field_offsets(fields, offsets);
  const uint64_t line_hash = hash_format(fields.formats, fields.count);
  plan_hardwired(cache, fields, offsets, line_hash, best);
  plan_line_writer(cache, fields, offsets, line_hash, best);
  if (best.form == record_form::none) best.cost = INT_MAX;
  best.generation = cache.generation;
  return best;
}

void write_fields_record(format_cache& cache, const line_fields& fields, const record_plan& plan,
                         byte_order order, std::vector<uint8_t>& out) {
  mark_seen(cache, plan.line_hash);
  if (plan.source_hash != 0) mark_seen(cache, plan.source_hash);
  switch (plan.form) {
    case record_form::none:
      return;
    case record_form::hardwired:
    case record_form::hardwired_long:
      write_hardwired(cache, fields, plan, order, out);
      return;
    case record_form::cached:
      put(out, static_cast<uint8_t>(cached_code(cache, fields.formats, fields.count, plan.line_hash,
                                                plan.code, out)));
      break;
    case record_form::lsf4:
      put(out, FC_LSF4);
      put_packed(out, fields.formats, fields.count);
      break;
    case record_form::lsf8:
      put(out, FC_LSF8);
      put(out, fields.formats, fields.count);
      put(out, 0);
      break;
  }
  put(out, fields.data, plan.data_end);
  if (plan.marker_size != 0) put_marker(out, plan.marker_size, order);
}

}  // namespace asciify
