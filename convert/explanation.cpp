#include "convert/explanation.h"

namespace asciify {
namespace {

constexpr const char* kConverted =
    "the file went through an end-of-line conversion (a text-mode transfer), which damages "
    "binary data";

// What the fault itself says, without the signs of an end-of-line conversion.
std::string describe(const fault_context& context) {
  switch (context.fault) {
    case input_fault::start_in_binary_mode:
      return "a binary section starts inside another one: the end of the previous section is "
             "missing or damaged";
    case input_fault::close_in_ascii_mode:
      return "a marker that closes a binary section stands where none is open: a stray marker "
             "line in the text, or the section's start is damaged";
    case input_fault::resume_in_binary_mode:
      return "a binary section is resumed while it is open: the line that suspended it is "
             "missing or damaged";
    case input_fault::marker_line_unended:
      return context.input_ended
                 ? "the marker line or its header line is cut off by the end of the input: the "
                   "file is cut short"
                 : "the marker line or its header line does not end within 256 bytes: the file "
                   "is damaged";
    case input_fault::header_unreadable:
      return "the line after *START_BINARY is no section header (format version and two "
             "byte-order probes): the file is damaged or was not written in this format";
    case input_fault::header_too_new:
      return "the section is written in a newer version of the format than this converter "
             "reads: a newer converter is needed";
    case input_fault::header_byte_order_unknown:
      return "the byte-order probes of the section header fit no byte order: the header is "
             "damaged";
    case input_fault::record_unended:
      return context.input_ended
                 ? "the record runs past the end of the input: the file is cut short or damaged"
                 : "the record does not end within 256 bytes: the binary data are damaged";
    case input_fault::too_many_fields:
      return "the record's format has more fields than the format allows: the binary data are "
             "damaged";
    case input_fault::unknown_code:
      return "byte " + std::to_string(context.first_byte) +
             " stands where a record should start, and no record starts with it: the binary "
             "data are damaged, or the record before it is not as long as its format says";
    case input_fault::reset_of_reserved_code:
      return "a format reset names a code that is no cached format: the binary data are damaged";
    case input_fault::undefined_cached_format:
      return "the record uses a cached format that was never defined in this section: the "
             "binary data are damaged, or the file was put together from pieces";
    case input_fault::long_format_too_short:
      return "the record's format has fewer fields than its layout needs: the binary data are "
             "damaged";
    case input_fault::line_too_long:
      return "a text field makes the line longer than the format allows: the binary data are "
             "damaged";
    case input_fault::none:
      break;
  }
  return "the input is damaged";
}

}  // namespace

std::string explain_fault(const fault_context& context) {
  const bool stray_line_end = context.first_byte == '\r' || context.first_byte == '\n';
  if (context.carriage_return && stray_line_end && context.fault != input_fault::none) {
    return "a stray byte " + std::to_string(context.first_byte) +
           " stands where a record should start, and the section's header line ends in a "
           "carriage return: " +
           kConverted;
  }
  std::string explanation = describe(context);
  if (context.carriage_return) {
    explanation += "; the section's header line ends in a carriage return, so probably ";
    explanation += kConverted;
  } else if (stray_line_end && context.fault == input_fault::unknown_code) {
    explanation += " (a stray line-end byte may come from an end-of-line conversion)";
  }
  return explanation;
}

}  // namespace asciify
