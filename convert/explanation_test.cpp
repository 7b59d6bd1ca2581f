#include "convert/explanation.h"

#include <gtest/gtest.h>

#include <string>

namespace asciify {
namespace {

// The likely cause is named where the bytes show it: the end of the input, a record longer
// than the format allows, an end-of-line conversion.
TEST(Explanation, NamesTheLikelyCause) {
  const char* kConversion = "end-of-line conversion (a text-mode transfer)";
  const struct {
    fault_context context;
    const char* must_say;
    const char* must_not_say;
  } cases[] = {
      {{input_fault::record_unended, true, 30, false}, "past the end of the input", kConversion},
      {{input_fault::record_unended, false, 30, false}, "within 256 bytes", "cut short"},
      {{input_fault::unknown_code, false, 13, true}, "stray byte 13", "no record starts"},
      {{input_fault::unknown_code, false, 10, true}, kConversion, "no record starts"},
      {{input_fault::record_unended, false, 13, true}, kConversion, "within 256"},
      {{input_fault::unknown_code, false, 7, true}, kConversion, "stray byte"},
      {{input_fault::unknown_code, false, 13, false}, "stray line-end byte", "header line"},
      {{input_fault::unknown_code, false, 7, false}, "byte 7 stands", kConversion},
      {{input_fault::header_unreadable, false, '*', true}, kConversion, "stray byte"},
      {{input_fault::header_too_new, false, '*', false}, "newer converter", kConversion},
  };
  for (const auto& c : cases) {
    const std::string text = explain_fault(c.context);
    EXPECT_NE(text.find(c.must_say), std::string::npos) << text;
    EXPECT_EQ(text.find(c.must_not_say), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace asciify
