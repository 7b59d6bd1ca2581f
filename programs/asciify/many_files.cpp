#include "programs/asciify/many_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "cli/output_file.h"
#include "platform/files.h"

namespace asciify {
namespace {

constexpr const char* kCompressionSuffixes[] = {".gz", ".xz", ".zst"};

// Checks the planned outputs before anything is written. Returns false after a message.
bool outputs_are_safe(const std::vector<std::string>& inputs,
                      const std::vector<std::string>& outputs) {
  std::map<std::string, size_t> first_input_of;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const auto [taken, fresh] = first_input_of.emplace(outputs[i], i);
    if (!fresh) {
      std::fprintf(stderr,
                   "asciify: %s and %s would both be converted into %s; nothing was written.\n",
                   inputs[taken->second].c_str(), inputs[i].c_str(), outputs[i].c_str());
      return false;
    }
  }
  for (const std::string& input : inputs) {
    const cli::file_identity input_identity = cli::identity_of_path(input.c_str());
    for (const std::string& output : outputs) {
      if (cli::same_stored_file(input_identity, cli::identity_of_path(output.c_str()))) {
        std::fprintf(stderr, "asciify: %s and %s are the same file; nothing was written.\n",
                     input.c_str(), output.c_str());
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::string text_file_name(const std::string& input) {
  std::string name = platform::utf8_from_path(platform::path_from_utf8(input).filename());
  // The suffix in any case: X.BIN.GZ is X.BIN compressed.
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  for (const char* suffix : kCompressionSuffixes) {
    if (name.size() > std::strlen(suffix) && lower.ends_with(suffix)) {
      name.resize(name.size() - std::strlen(suffix));
      break;
    }
  }
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name + ".txt";
}

int convert_into_folder(const std::string& folder, const std::vector<std::string>& inputs,
                        const report_settings& settings) {
  if (std::find(inputs.begin(), inputs.end(), "-") != inputs.end()) {
    std::fprintf(stderr, "asciify: standard input has no name to convert into a folder\n");
    return 1;
  }
  std::vector<std::string> outputs;
  for (const std::string& input : inputs) {
    const std::filesystem::path output =
        platform::path_from_utf8(folder) / platform::path_from_utf8(text_file_name(input));
    outputs.push_back(platform::utf8_from_path(output));
  }
  if (!outputs_are_safe(inputs, outputs)) return 1;
  std::error_code error;
  std::filesystem::create_directories(platform::path_from_utf8(folder), error);
  if (error) {
    std::fprintf(stderr, "asciify: %s: %s\n", folder.c_str(), error.message().c_str());
    return 1;
  }
  int worst = 0;
  int failed = 0;
  int64_t total_lines = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    int64_t lines = 0;
    cli::message_log log = cli::kept_log_of(inputs[i]);
    const int status =
        convert_file_pair(inputs[i].c_str(), outputs[i].c_str(), settings, log, &lines);
    print_kept_lines(log);
    worst = std::max(worst, status);
    if (status != 0) ++failed;
    total_lines += lines;
  }
  if (!settings.quiet) {
    std::printf("Total: %zu file%s into %s, %d failed, %lld lines written.\n", inputs.size(),
                inputs.size() == 1 ? "" : "s", folder.c_str(), failed,
                static_cast<long long>(total_lines));
  }
  return worst;
}

}  // namespace asciify
