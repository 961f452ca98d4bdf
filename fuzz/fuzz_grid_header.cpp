// The header reader over arbitrary bytes: it must return 0 or 1 and, for a good
// header, values a builder can rely on. Reading the same bytes behind blank
// lines that push them across the reader's block boundary must give the same
// header, with dataStart moved by the bytes put in front.

#include <cmath>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "grid/grid_header.h"
#include "grid/header_line_reader.h"

using namespace morvale;
using namespace morvale_fuzz;

namespace {

bool sameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameHeader(const GridHeader& a, const GridHeader& b, std::int64_t shift) {
    const std::int64_t shifted = a.dataStart < 0 ? a.dataStart : a.dataStart + shift;
    return a.ncols == b.ncols && a.nrows == b.nrows && sameDouble(a.xll, b.xll) && sameDouble(a.yll, b.yll) &&
           sameDouble(a.cellsize, b.cellsize) && a.xllIsCenter == b.xllIsCenter && a.yllIsCenter == b.yllIsCenter &&
           a.hasNodata == b.hasNodata && (!a.hasNodata || sameDouble(a.nodataValue, b.nodataValue)) &&
           shifted == b.dataStart;
}

void checkGoodHeader(const GridHeader& h, const std::uint8_t* data, std::size_t size) {
    FUZZ_CHECK(h.ncols >= 1 && h.nrows >= 1);
    FUZZ_CHECK(std::isfinite(h.xll) && std::isfinite(h.yll) && std::isfinite(h.cellsize));
    FUZZ_CHECK(h.xllIsCenter == 0 || h.xllIsCenter == 1);
    FUZZ_CHECK(h.yllIsCenter == 0 || h.yllIsCenter == 1);
    FUZZ_CHECK(h.hasNodata == 0 || h.hasNodata == 1);
    FUZZ_CHECK(!h.hasNodata || !std::isinf(h.nodataValue));
    // The body starts right after a line feed inside the file, or nowhere.
    FUZZ_CHECK(h.dataStart == -1 || (h.dataStart >= 1 && static_cast<std::size_t>(h.dataStart) <= size));
    if (h.dataStart > 0) FUZZ_CHECK(data[h.dataStart - 1] == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path grid = scratchFolder() / "header.asc";
    writeBytes(grid, data, size);
    GridHeader first;
    first.dataStart = -7;  // a value the reader never leaves behind on success
    const int result = readGridHeader(grid, first);
    FUZZ_CHECK(result == gridHeaderOk || result == gridHeaderCorrupted);
    if (result == gridHeaderOk) checkGoodHeader(first, data, size);

    // No state survives a read.
    GridHeader second;
    second.dataStart = -7;
    FUZZ_CHECK(readGridHeader(grid, second) == result);
    if (result == gridHeaderOk) FUZZ_CHECK(sameHeader(first, second, 0));

    // The same text behind blank lines, so that it straddles a block boundary
    // (for one input length in eight: scanning the blank lines costs more than the rest).
    if (size > 0 && size < headerBlockSize && size % 8 == 0) {
        const std::size_t shift = headerBlockSize - 1 - (data[0] % 64 < size ? data[0] % 64 : 0);
        std::vector<std::uint8_t> moved(shift, '\n');
        moved.insert(moved.end(), data, data + size);
        writeBytes(grid, moved.data(), moved.size());
        GridHeader third;
        third.dataStart = -7;
        FUZZ_CHECK(readGridHeader(grid, third) == result);
        if (result == gridHeaderOk) FUZZ_CHECK(sameHeader(first, third, static_cast<std::int64_t>(shift)));
    }
    return 0;
}
