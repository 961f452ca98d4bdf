#pragma once
// Opening the two files of a conversion, with the checks that keep the input safe.

#include <string>
#include <system_error>

#include "base/input_file.h"
#include "base/output_file.h"
#include "convert/conversion_request.h"

namespace morvale {

// Opens the input (-1), refuses an output that is the input itself (-6) and a
// cell size that is not a positive finite number (-7). On success the input
// is positioned at dataStart; `positioned` is false when that failed (no
// value is then read). With request.cells the input is not opened (`input`
// stays null). Returns conversionFinished on success; the output is left to
// the writer, which creates it.
ConversionResult openConversionInput(const ConversionRequest& request, FileHandle& input, bool& positioned);
// The same, then creates the output (-2).
ConversionResult openConversionFiles(const ConversionRequest& request, FileHandle& input, bool& positioned,
                                     OutputFile& output);

// Why `path` cannot be created or written: the system's text for `reason`,
// the error the run met (ConversionStats::outputError), else asked by
// opening it again: an existing file is opened without truncating it, a new
// one is removed at once. A missing folder is named. Empty when no reason
// is known and it opens now.
std::string outputProblem(const std::filesystem::path& path, const std::error_code& reason = {});

// True when both paths name the same existing file (through links and "..").
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace morvale
