#include "programs/asciify/listing.h"

#include <cstdio>
#include <iterator>
#include <string_view>

#include "cli/files.h"
#include "programs/asciify/file_conversion.h"

namespace asciify {
namespace {

// A sink that takes everything and keeps nothing.
size_t discard(void*, const char*, size_t count, int*) {
  return count;
}

std::string quoted(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string plural(int64_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// The record counts by name, those that are not zero.
template <typename Visit>
void visit_counts(const record_counts& counts, Visit visit) {
  visit("text_lines", "text lines", counts.text_lines);
  visit("format_resets", "format resets", counts.format_resets);
  visit("cached_definitions", "cached-format definitions", counts.cached_definitions);
  visit("cached_data", "cached-format data records", counts.cached_data);
  visit("line_specific_packed", "line-specific records, packed format", counts.line_specific[0]);
  visit("line_specific_plain", "line-specific records, plain format", counts.line_specific[1]);
  for (int code = 0; code < static_cast<int>(std::size(counts.hardwired)); ++code) {
    if (counts.hardwired[code] == 0) continue;
    const std::string key = "hardwired_" + std::to_string(code);
    const std::string name = "hard-wired records, code " + std::to_string(code);
    visit(key.c_str(), name.c_str(), counts.hardwired[code]);
  }
}

std::string section_text(const section_summary& section) {
  return "  at input byte " + std::to_string(section.input_byte) + ": " +
         (section.swapped ? "swapped" : "native") + " byte order, version " +
         std::to_string(section.major) + "." + std::to_string(section.minor) + ", " +
         plural(section.suspensions, "suspension") + "\n";
}

std::string section_json(const section_summary& section) {
  return "{\"input_byte\": " + std::to_string(section.input_byte) +
         ", \"byte_order\": " + (section.swapped ? "\"swapped\"" : "\"native\"") +
         ", \"version\": \"" + std::to_string(section.major) + "." + std::to_string(section.minor) +
         "\", \"suspensions\": " + std::to_string(section.suspensions) + "}";
}

}  // namespace

listing take_listing(input_stream& input, const char* name) {
  listing taken;
  taken.input = name;
  convert_options options;
  options.input_name = name;
  options.input_reason_name = cli::reason_name(name, "standard input");
  options.output_name = "nowhere";
  options.quiet = true;
  options.decompress = false;  // the input decompresses itself
  const converter_ptr c =
      make_converter(options, byte_sink{discard, nullptr, nullptr, nullptr}, {});
  feed_and_finish(*c, input, nullptr);
  const input_progress progress = input_progress_of(input);
  taken.size = progress.raw_size >= 0 ? progress.raw_size : progress.raw_bytes_read;
  taken.compression = input_compression(input);
  taken.report = converting_report(*c);
  if (input_failed(input)) taken.read_reason = input_failure_reason(input);
  return taken;
}

std::string listing_text(const listing& taken) {
  std::string text = "Input: " + taken.input + ", " + plural(taken.size, "byte");
  if (taken.compression != compression_kind::none) {
    text += std::string(", ") + compression_name(taken.compression) + "-compressed, " +
            plural(taken.report.bytes_read, "byte") + " decompressed";
  }
  text += "\n";
  const convert_report& report = taken.report;
  text += "Binary sections: " + std::to_string(report.sections.size()) + "\n";
  for (const section_summary& section : report.sections) text += section_text(section);
  std::string records;
  visit_counts(report.records, [&records](const char*, const char* name, int64_t count) {
    if (count > 0) records += "  " + std::string(name) + ": " + std::to_string(count) + "\n";
  });
  text += records.empty() ? "Records: none\n" : "Records:\n" + records;
  text += "ASCII lines copied: " + std::to_string(report.ascii_lines) + "\n";
  text += "Lines a conversion writes: " + std::to_string(report.lines_written) + "\n";
  text += "Fields written as '*': " + std::to_string(report.starred_fields) + "\n";
  if (report.finished) return text + "Error: none\n";
  text += "Error: " + report.failure_message + "\n";
  if (!taken.read_reason.empty()) text += "  reason: " + taken.read_reason + "\n";
  if (report.failure_input_byte >= 0) {
    text += "  at input byte " + std::to_string(report.failure_input_byte) + ": " +
            report.failure_explanation + "\n";
  }
  return text;
}

std::string listing_json(const listing& taken) {
  const convert_report& report = taken.report;
  std::string json =
      "{\"input\": " + quoted(taken.input) + ", \"size\": " + std::to_string(taken.size) +
      ", \"compression\": " + quoted(compression_name(taken.compression)) +
      ", \"bytes_read\": " + std::to_string(report.bytes_read) +
      ", \"lines\": " + std::to_string(report.lines_written) +
      ", \"ascii_lines\": " + std::to_string(report.ascii_lines) +
      ", \"starred_fields\": " + std::to_string(report.starred_fields) + ", \"sections\": [";
  const std::vector<section_summary>& sections = report.sections;
  for (size_t i = 0; i < sections.size(); ++i) {
    json += (i > 0 ? ", " : "") + section_json(sections[i]);
  }
  json += "], \"records\": {";
  const char* separator = "";
  visit_counts(report.records, [&](const char* key, const char*, int64_t count) {
    json += separator + quoted(key) + ": " + std::to_string(count);
    separator = ", ";
  });
  json += "}, \"error\": ";
  if (report.finished) return json + "null}\n";
  const int64_t at = report.failure_input_byte;
  const std::string reason = taken.read_reason.empty() ? "null" : quoted(taken.read_reason);
  // A failed read is explained by its reason.
  const std::string explanation = at >= 0 ? quoted(report.failure_explanation) : reason;
  json += "{\"message\": " + quoted(report.failure_message) + ", \"reason\": " + reason +
          ", \"input_byte\": " + (at >= 0 ? std::to_string(at) : "null") +
          ", \"explanation\": " + explanation + "}}\n";
  return json;
}

std::string unopened_json(const char* name, const std::string& message, const std::string& reason) {
  return "{\"input\": " + quoted(name) + ", \"error\": {\"message\": " + quoted(message) +
         ", \"reason\": " + quoted(reason) + "}}\n";
}

int list_input(const char* name, bool json, bool decompress) {
  input_options reading;
  reading.decompress = decompress;
  cli::named_input opened = cli::try_open_input(kAsciify, name, reading);
  if (opened.stream == nullptr) {
    cli::message_log log;
    cli::print_open_failure(kAsciify, name, opened, log);
    // A script that reads the answer gets one also now.
    if (json) std::fputs(unopened_json(name, opened.message, opened.reason).c_str(), stdout);
    return 1;
  }
  const listing taken = take_listing(*opened.stream, name);
  const std::string text = json ? listing_json(taken) : listing_text(taken);
  // A listing that cannot be written is told at the end of the run, with status 2.
  std::fputs(text.c_str(), stdout);
  return taken.report.finished ? 0 : 2;
}

}  // namespace asciify
