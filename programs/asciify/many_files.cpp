#include "programs/asciify/many_files.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/output_file.h"
#include "platform/failure_reason.h"
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

// One input's conversion into its text file, and what it printed.
struct file_job {
  const std::string* input = nullptr;
  const std::string* output = nullptr;
  cli::message_log log;
  int status = 0;
  int64_t lines = 0;
  bool done = false;  // (with several at once) under the lock of the run
};

// (On a thread of its own no exception may escape: one that nothing below handled, as when no
// memory is left, fails the file.)
void convert_one(file_job& file, const report_settings& settings) {
  try {
    file.status = convert_file_pair(file.input->c_str(), file.output->c_str(), settings, file.log,
                                    &file.lines);
  } catch (...) {
    cli::log_format(file.log, cli::line_stream::error, "asciify: %s\n",
                    platform::reason_of_current_exception().c_str());
    file.status = 2;
  }
}

// Converts the files on `jobs` threads, each taking the next file not yet taken, and prints
// each file's lines in the order of the files as soon as it and those before it are done.
void convert_at_once(std::vector<file_job>& files, const report_settings& settings, int jobs) {
  std::mutex lock;
  std::condition_variable finished;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files.size();) {
      convert_one(files[i], settings);
      const std::lock_guard<std::mutex> hold(lock);
      files[i].done = true;
      finished.notify_all();
    }
  };
  std::vector<std::thread> threads;
  const size_t count = std::min(files.size(), static_cast<size_t>(jobs));
  try {
    for (size_t t = 0; t < count; ++t) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // The system gave fewer threads than asked for: those it gave take every file.
    if (threads.empty()) work();
  }
  for (file_job& file : files) {
    {
      std::unique_lock<std::mutex> hold(lock);
      finished.wait(hold, [&file] { return file.done; });
    }
    print_kept_lines(file.log);
  }
  for (std::thread& thread : threads) thread.join();
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
      name.erase(name.size() - std::strlen(suffix));
      break;
    }
  }
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name + ".txt";
}

int convert_into_folder(const std::string& folder, const std::vector<std::string>& inputs,
                        const report_settings& settings, int jobs) {
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
  std::vector<file_job> files(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    files[i].input = &inputs[i];
    files[i].output = &outputs[i];
    files[i].log = cli::kept_log_of(inputs[i]);
  }
  if (jobs <= 1 || inputs.size() <= 1) {
    for (file_job& file : files) {
      convert_one(file, settings);
      print_kept_lines(file.log);
    }
  } else {
    report_settings quiet_terminal = settings;
    quiet_terminal.progress = false;  // one progress line cannot tell of several files
    convert_at_once(files, quiet_terminal, jobs);
  }
  int worst = 0;
  int failed = 0;
  int64_t total_lines = 0;
  for (const file_job& file : files) {
    worst = std::max(worst, file.status);
    if (file.status != 0) ++failed;
    total_lines += file.lines;
  }
  if (!settings.quiet) {
    std::printf("Total: %zu file%s into %s, %d failed, %lld lines written.\n", inputs.size(),
                inputs.size() == 1 ? "" : "s", folder.c_str(), failed,
                static_cast<long long>(total_lines));
  }
  return worst;
}

}  // namespace asciify
