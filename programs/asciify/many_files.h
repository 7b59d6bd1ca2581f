// Many inputs converted into one folder, each into a text file named after it.
#pragma once

#include <string>
#include <vector>

#include "programs/asciify/file_conversion.h"

namespace asciify {

// The name of the text file of `input`: its file name without its last extension, after a
// compression suffix (.gz, .xz, .zst) is taken off, and with ".txt".
std::string text_file_name(const std::string& input);

// Converts each input into `folder` (made if missing): one summary per file, then a total.
// Every line about a file starts with its name, and a file's lines (on standard output and
// standard error) are all out before the next file's. Goes on after a failed file. Refuses
// before anything is written when two inputs would give the same output, or an output would
// be one of the inputs. With `jobs` above 1, that many files are converted at once; what is
// printed stays the same, in the same order. Returns the highest exit status of the files.
int convert_into_folder(const std::string& folder, const std::vector<std::string>& inputs,
                        const report_settings& settings, int jobs);

}  // namespace asciify
