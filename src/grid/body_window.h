#pragma once
// The crop window a body read is made for, and the counts it returns.

#include <cstdint>

namespace morvale {

struct CropWindow {
    std::int32_t xMin = 1;  // 1-based, inclusive
    std::int32_t yMin = 1;
    std::int32_t xMax = 1;
    std::int32_t yMax = 1;
};

struct GridBodyCounts {
    std::int64_t rowsRead = 0;     // window rows completed
    std::int64_t recordsRead = 0;  // numbers in the window, no-data values included
    std::int64_t noDataCount = 0;  // no-data values in the window
};

}  // namespace morvale
