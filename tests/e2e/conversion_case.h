// One end-to-end case: an input file and everything the conversion must produce from it.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/e2e/run_asciify.h"

namespace asciify::testing {

struct conversion_case {
  std::string name;
  std::string input;
  std::string output;  // expected output file
  std::string out;     // expected standard output
  std::string err;     // expected standard error
  int status = 0;
};

inline std::ostream& operator<<(std::ostream& stream, const conversion_case& c) {
  return stream << c.name;
}

inline std::string finished(long long lines) {
  return "Finished converting file, wrote " + std::to_string(lines) + " lines.\n";
}

inline std::string failed(long long lines) {
  return "File conversion failed after writing " + std::to_string(lines) + " lines.\n";
}

// Converts the case's input with the built executable and compares every byte.
inline void expect_conversion(const conversion_case& c) {
  const command_result result = convert_file(c.input);
  EXPECT_EQ(result.output, c.output) << c.name;
  EXPECT_EQ(result.out, c.out) << c.name;
  EXPECT_EQ(result.err, c.err) << c.name;
  EXPECT_EQ(result.status, c.status) << c.name;
}

}  // namespace asciify::testing
