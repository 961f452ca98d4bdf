#include "convert/conversion_files.h"

#include <cmath>
#include <system_error>

namespace morvale {

bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

ConversionResult openConversionInput(const ConversionRequest& request, FileHandle& input, bool& positioned) {
    if (request.cells == nullptr) {
        input = openForReading(request.inputPath);
        if (!input) return conversionInputUnreadable;
    }
    // Checked before the output is opened for writing, which would truncate it.
    if (isSameFile(request.inputPath, request.outputPath)) {
        input.reset();
        return conversionOutputIsInput;
    }
    const double cellsize = request.header.cellsize;
    if (!(std::isfinite(cellsize) && cellsize > 0.0)) {
        input.reset();
        return conversionBadCellSize;
    }
    positioned = request.cells != nullptr || seekTo(input.get(), request.header.dataStart);
    return conversionFinished;
}

ConversionResult openConversionFiles(const ConversionRequest& request, FileHandle& input, bool& positioned,
                                     OutputFile& output) {
    if (const ConversionResult opened = openConversionInput(request, input, positioned); opened != conversionFinished)
        return opened;
    if (!output.open(request.outputPath)) {
        input.reset();
        return conversionOutputUncreatable;
    }
    return conversionFinished;
}

}  // namespace morvale
