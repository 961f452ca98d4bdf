#include "convert/conversion_files.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/platform_file.h"

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

std::string outputProblem(const std::filesystem::path& path, const std::error_code& reason) {
    std::string text;
    std::error_code error;
    if (reason) {
        text = systemErrorText(reason);
    } else {
        const bool existed = std::filesystem::exists(path, error);
        errno = 0;
        std::FILE* file = openFile(path, existed ? "r+b" : "wb", existed ? L"r+b" : L"wb");
        const int probed = errno;
        if (file != nullptr) {
            std::fclose(file);
            if (!existed) std::filesystem::remove(path, error);
            return {};
        }
        text = std::strerror(probed);
    }
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    if (!std::filesystem::is_directory(folder, error)) {
        const std::u8string name = folder.u8string();
        text += " (the folder '" + std::string(reinterpret_cast<const char*>(name.data()), name.size()) +
                "' does not exist)";
    }
    return text;
}

}  // namespace morvale
