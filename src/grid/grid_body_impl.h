#pragma once
// readGridBody over a C stream: large binary reads pushed through a BodyScanner.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <type_traits>

#include "grid/body_scanner.h"

namespace morvale {

// Large enough that the per-read cost vanishes, small enough to stay in cache.
inline constexpr std::size_t gridBodyBlockSize = std::size_t{1} << 20;

// readGridBody with a chosen read size (tests use tiny blocks so that numbers
// and line ends fall across block boundaries).
template <class OnCellValue>
GridBodyCounts readGridBodyInBlocks(std::FILE* input, std::size_t blockSize, const GridHeader& header,
                                    const CropWindow& window, std::int32_t lastRow,
                                    const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                    OnCellValue&& onCellValue) {
    if (input == nullptr || std::ferror(input)) return {};
    if (blockSize == 0) blockSize = 1;
    // Without memory for a large block a small one still reads the whole body.
    char fallback[4096];
    std::unique_ptr<char[]> owned(new (std::nothrow) char[blockSize]);
    char* const buffer = owned ? owned.get() : fallback;
    const std::size_t capacity = owned ? blockSize : sizeof fallback;

    using Consumer = std::remove_reference_t<OnCellValue>;
    BodyScanner<Consumer> scanner(header, window, lastRow, cancelRequested, progress, onCellValue);
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, capacity, input);
        if (got > 0 && !scanner.feed(buffer, buffer + got)) break;
        // A short read is the end of the file or a read error; both end the body.
        if (got < capacity) {
            scanner.finish();
            break;
        }
    }
    return scanner.counts();
}

template <class OnCellValue>
GridBodyCounts readGridBody(std::FILE* input, const GridHeader& header, const CropWindow& window, std::int32_t lastRow,
                            const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                            OnCellValue&& onCellValue) {
    return readGridBodyInBlocks(input, gridBodyBlockSize, header, window, lastRow, cancelRequested, progress,
                                onCellValue);
}

}  // namespace morvale
