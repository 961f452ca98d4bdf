#pragma once
// The standard keywords of a grid header, recognised in any letter case.

#include <string_view>

namespace morvale {

enum class HeaderKeyword {
    other,
    ncols,
    nrows,
    xllcorner,
    xllcenter,
    yllcorner,
    yllcenter,
    cellsize,
    dx,
    dy,
    nodataValue,
};

HeaderKeyword classifyHeaderKeyword(std::string_view key);

// The keyword that stands for a line with any other keyword, by its position
// among the header lines (1-based): the customary order ncols, nrows, xll and
// yll corner, cellsize, nodata_value.
HeaderKeyword keywordOfPosition(int position);

}  // namespace morvale
