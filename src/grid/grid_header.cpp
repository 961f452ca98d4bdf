#include "grid/grid_header.h"

#include <array>
#include <limits>
#include <string_view>

#include "base/input_file.h"
#include "grid/header_keywords.h"
#include "grid/header_line_reader.h"
#include "grid/header_numbers.h"

namespace morvale {
namespace {

enum HeaderField { fieldNcols, fieldNrows, fieldXll, fieldYll, fieldCellsize, fieldNodata, fieldCount };

struct HeaderReadState {
    std::array<bool, fieldCount> given{};
    bool dxGiven = false;
    bool dyGiven = false;
    double dx = 0.0;
    double dy = 0.0;
    int lineCount = 0;
};

// Marks a field as given; false when it was given before.
bool claim(HeaderReadState& state, HeaderField field) {
    if (state.given[field]) return false;
    state.given[field] = true;
    return true;
}

// Every value is stored as soon as it converts, before its checks.
bool readCount(std::string_view value, std::int32_t& field) {
    std::int32_t number = 0;
    if (!convertHeaderInteger(value, number)) return false;
    field = number;
    return !containsAsciiLetter(value) && number >= 1;
}

bool readReal(std::string_view value, double& field) {
    double number = 0.0;
    std::size_t used = 0;
    if (!convertHeaderReal(value, number, used)) return false;
    field = number;
    // The exponent letter of a well-formed number is the only letter allowed.
    return !containsAsciiLetter(value.substr(used));
}

bool readNodata(std::string_view value, GridHeader& header) {
    if (isNanToken(value)) {
        header.nodataValue = std::numeric_limits<double>::quiet_NaN();
    } else if (!readReal(value, header.nodataValue)) {
        return false;
    }
    header.hasNodata = 1;
    return true;
}

// dx and dy give the cell size together only when they agree; a cellsize line
// beside either of them gives the cell size twice.
bool readCellSide(bool isDx, std::string_view value, HeaderReadState& state, GridHeader& header) {
    bool& given = isDx ? state.dxGiven : state.dyGiven;
    const bool otherGiven = isDx ? state.dyGiven : state.dxGiven;
    if (given || (state.given[fieldCellsize] && !otherGiven)) return false;
    given = true;
    state.given[fieldCellsize] = true;
    if (!readReal(value, header.cellsize)) return false;
    (isDx ? state.dx : state.dy) = header.cellsize;
    return !otherGiven || state.dx == state.dy;
}

bool applyHeaderLine(HeaderKeyword keyword, std::string_view value, HeaderReadState& state, GridHeader& header) {
    switch (keyword) {
    case HeaderKeyword::ncols: return claim(state, fieldNcols) && readCount(value, header.ncols);
    case HeaderKeyword::nrows: return claim(state, fieldNrows) && readCount(value, header.nrows);
    case HeaderKeyword::xllcorner:
    case HeaderKeyword::xllcenter:
        if (!claim(state, fieldXll) || !readReal(value, header.xll)) return false;
        header.xllIsCenter = keyword == HeaderKeyword::xllcenter ? 1 : 0;
        return true;
    case HeaderKeyword::yllcorner:
    case HeaderKeyword::yllcenter:
        if (!claim(state, fieldYll) || !readReal(value, header.yll)) return false;
        header.yllIsCenter = keyword == HeaderKeyword::yllcenter ? 1 : 0;
        return true;
    case HeaderKeyword::cellsize: return claim(state, fieldCellsize) && readReal(value, header.cellsize);
    case HeaderKeyword::dx:
    case HeaderKeyword::dy: return readCellSide(keyword == HeaderKeyword::dx, value, state, header);
    case HeaderKeyword::nodataValue: return claim(state, fieldNodata) && readNodata(value, header);
    case HeaderKeyword::other: break;
    }
    return false;
}

// The body starts at a line whose first token holds a digit or is a nan token.
bool startsBody(const HeaderLine& line) { return line.keyHasDigit || (!line.key.cut && isNanToken(line.key.text())); }

int readHeaderLines(std::FILE* file, GridHeader& header) {
    HeaderByteSource source;
    source.file = file;
    HeaderLine line;
    HeaderReadState state;
    for (;;) {
        const int lastLine = state.dxGiven && state.dyGiven ? 7 : 6;
        if (state.lineCount >= lastLine || !fetchHeaderLine(source, line) || startsBody(line)) break;
        ++state.lineCount;
        // A keyword alone, or a value too long to be any number.
        if (line.tokenCount < 2 || line.value.cut) return gridHeaderCorrupted;
        HeaderKeyword keyword = classifyHeaderKeyword(line.key.text());
        if (keyword == HeaderKeyword::other) keyword = keywordOfPosition(state.lineCount);
        if (!applyHeaderLine(keyword, line.value.text(), state, header)) return gridHeaderCorrupted;
        if (state.lineCount >= 5) header.dataStart = line.endOffset;
    }
    for (int field = fieldNcols; field < fieldNodata; ++field) {
        if (!state.given[field]) return gridHeaderCorrupted;
    }
    return gridHeaderOk;
}

}  // namespace

int readGridHeader(const std::filesystem::path& inputPath, GridHeader& header) {
    bool opened = false;
    try {
        const FileHandle file = openForReading(inputPath);
        if (!file) return gridHeaderUnopenable;
        opened = true;
        header.xllIsCenter = 0;
        header.yllIsCenter = 0;
        header.hasNodata = 0;
        return readHeaderLines(file.get(), header);
    } catch (...) {
        return opened ? gridHeaderCorrupted : gridHeaderUnopenable;
    }
}

}  // namespace morvale
