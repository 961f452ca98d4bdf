#pragma once
// Opening the two files of a conversion, with the checks that keep the input safe.

#include "base/input_file.h"
#include "base/output_file.h"
#include "convert/conversion_request.h"

namespace morvale {

// Opens the input (-1), refuses an output that is the input itself (-6) and a
// cell size that is not a positive finite number (-7), creates the output
// (-2). On success the input is positioned at dataStart; `positioned` is false
// when that failed (no value is then read). With request.cells the input is
// not opened (`input` stays null). Without `createOutput` the output is left
// to a writer that creates its own file. Returns conversionFinished on success.
ConversionResult openConversionFiles(const ConversionRequest& request, FileHandle& input, bool& positioned,
                                     OutputFile& output, bool createOutput = true);

// True when both paths name the same existing file (through links and "..").
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace morvale
