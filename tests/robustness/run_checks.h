// Checks that hold for the end of every conversion run, whatever its input.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "tests/support/convert_in_memory.h"

namespace asciify::testing {

inline std::string finished_summary(long long lines) {
  return "Finished converting file, wrote " + std::to_string(lines) + " lines.\n";
}

inline std::string failed_summary(long long lines) {
  return "File conversion failed after writing " + std::to_string(lines) + " lines.\n";
}

inline size_t count_of(std::string_view text, std::string_view word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

// The output after its last newline byte: an unterminated last line, or nothing.
inline std::string_view unterminated_tail(std::string_view output) {
  const size_t last_newline = output.rfind('\n');
  return last_newline == std::string_view::npos ? output : output.substr(last_newline + 1);
}

// A run ends with status 0 or 2 and exactly one summary, on the stream that belongs to the
// status and with the run's own line count; a failure says why before its summary. Every line
// counted is in the output, each ending in a newline byte except an unterminated last line,
// which is input copied as it stands (the end of the input, after a finished run).
inline void expect_clean_ending(const conversion_capture& run, std::string_view input,
                                const std::string& label) {
  SCOPED_TRACE(label);
  const long long lines = run.lines_written;
  const size_t summaries = count_of(run.info, "Finished converting file") +
                           count_of(run.info, "File conversion failed") +
                           count_of(run.messages, "Finished converting file") +
                           count_of(run.messages, "File conversion failed");
  EXPECT_EQ(summaries, 1u) << run.messages << run.info;
  if (run.status == 0) {
    EXPECT_TRUE(run.info.ends_with(finished_summary(lines))) << run.info;
    // A finished run may only have warned.
    std::string_view rest = run.messages;
    while (!rest.empty()) {
      EXPECT_TRUE(rest.starts_with("Warning: ")) << run.messages;
      const size_t end = rest.find('\n');
      rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    }
  } else {
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.messages.ends_with(failed_summary(lines))) << run.messages;
    EXPECT_GT(run.messages.size(), failed_summary(lines).size()) << "a failure says why";
  }

  const std::string_view tail = unterminated_tail(run.output);
  const auto newlines =
      static_cast<long long>(std::count(run.output.begin(), run.output.end(), '\n'));
  EXPECT_GE(newlines, lines - (tail.empty() ? 0 : 1));
  if (!tail.empty()) {
    EXPECT_NE(input.find(tail), std::string_view::npos) << "tail is not copied input";
    if (run.status == 0) {
      EXPECT_TRUE(input.ends_with(tail)) << "tail is not the end of the input";
    }
  }
}

}  // namespace asciify::testing
