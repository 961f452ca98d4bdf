#include "obj/plane_lines.h"

#include <bit>
#include <cassert>
#include <cstring>
#include <new>

#include "mesh/cell_edges.h"
#include "mesh/texture_coords.h"
#include "obj/fixed_format.h"

namespace morvale {

bool PlaneLines::fits(const char* text, const char* end, EdgeText& to) {
    const std::size_t length = static_cast<std::size_t>(end - text);
    if (length >= sizeof to.text) return false;
    std::memcpy(to.text, text, length);
    to.length = static_cast<std::uint8_t>(length);
    return true;
}

bool PlaneLines::prepare(const PlaneLattice& lattice, std::int32_t presetIndex) {
    const CropWindow& w = lattice.window;
    const std::int64_t columns = std::int64_t{w.xMax} - w.xMin + 1;
    if (columns < 1 || columns > maxColumns) return false;
    const VertexLayout layout = vertexLayoutFor(presetIndex);
    lattice_ = lattice;
    eastSign_ = signBitIf(layout.negateEast);
    northSign_ = signBitIf(layout.negateNorth);
    elevationSign_ = signBitIf(layout.negateElevation);
    row_ = -1;
    elevation_ = LastText();
    const CellEdges& e = lattice.edges;
    char scratch[fixed6MaxChars + fixed4MaxChars];
    const auto x = [&](double value, EdgeText& to) {
        return fits(scratch, putFixed4(flipSign(value, eastSign_), scratch), to);
    };
    const auto y = [&](double value, EdgeText& to) {
        return fits(scratch, putFixed4(flipSign(value, northSign_), scratch), to);
    };
    const auto coordinate = [&](double value, EdgeText& to) {
        return fits(scratch, putTexCoordNumber(value, scratch), to);
    };
    // Edges and coordinates run monotonically down the rows: the longest
    // texts are those of the first and the last row.
    EdgeText probe;
    bool ok = y(yNorth(e, w.yMin), probe) && y(ySouth(e, w.yMax), probe) &&
              coordinate(cornerV(lattice.uvExtent, w.yMin), probe) &&
              coordinate(cornerV(lattice.uvExtent, std::int64_t{w.yMax} + 1), probe);
    try {
        const std::size_t n = static_cast<std::size_t>(columns);
        west_.assign(n, EdgeText());
        east_.assign(n, EdgeText());
        westU_.assign(n, EdgeText());
        eastU_.assign(n, EdgeText());
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    for (std::int64_t k = 0; ok && k < columns; ++k) {
        const std::int64_t col = w.xMin + k;
        const std::size_t at = static_cast<std::size_t>(k);
        ok = x(xWest(e, col), west_[at]) && x(xEast(e, col), east_[at]) &&
             coordinate(cornerU(lattice.uvExtent, col), westU_[at]) &&
             coordinate(cornerU(lattice.uvExtent, col + 1), eastU_[at]);
    }
    if (!ok) {
        west_ = east_ = westU_ = eastU_ = {};
        return false;
    }
    withVertexSlots(layout, [&]<int eastSlot, int northSlot>() {
        putPlain_ = &PlaneLines::putPlanes<eastSlot, northSlot, false>;
        putWithUv_ = &PlaneLines::putPlanes<eastSlot, northSlot, true>;
    });
    return true;
}

void PlaneLines::startRow(std::int32_t row) {
    assert(lattice_.window.yMin <= row && row <= lattice_.window.yMax);
    row_ = row;
    char scratch[fixed6MaxChars + fixed4MaxChars];
    const CellEdges& e = lattice_.edges;
    // prepare() checked the longest texts of the window.
    [[maybe_unused]] bool ok = fits(scratch, putFixed4(flipSign(yNorth(e, row), northSign_), scratch), north_) &&
                               fits(scratch, putFixed4(flipSign(ySouth(e, row), northSign_), scratch), south_) &&
                               fits(scratch, putTexCoordNumber(cornerV(lattice_.uvExtent, row), scratch), northV_) &&
                               fits(scratch, putTexCoordNumber(cornerV(lattice_.uvExtent, row + 1), scratch), southV_);
    assert(ok);
}

template <int eastSlot, int northSlot, bool uv>
char* PlaneLines::putPlanes(char* out, const CellValue* cells, std::size_t count) {
    const std::int64_t firstColumn = lattice_.window.xMin;
    for (std::size_t n = 0; n < count; ++n) {
        const CellValue& cell = cells[n];
        if (cell.row != row_) [[unlikely]]
            startRow(cell.row);
        assert(firstColumn <= cell.col && cell.col <= lattice_.window.xMax);
        const std::size_t k = static_cast<std::size_t>(cell.col - firstColumn);
        const ShortRef w = west_[k].ref(), e = east_[k].ref(), nr = north_.ref(), s = south_.ref();
        const auto corners = [&](const auto& z) {
            const auto corner = [&](ShortRef x, ShortRef y, const EdgeText& u, const EdgeText& v) {
                out = putVertexIn<eastSlot, northSlot>(out, x, y, z);
                if constexpr (uv) out = putTexCoordTexts(out, u.text, u.length, v.text, v.length);
            };
            corner(w, nr, westU_[k], northV_);
            corner(e, nr, eastU_[k], northV_);
            corner(e, s, eastU_[k], southV_);
            corner(w, s, westU_[k], southV_);
        };
        if (elevation_.set(flipSign(cell.value * lattice_.elevationScale, elevationSign_))) [[likely]]
            corners(elevation_.shortText());
        else
            corners(elevation_.text());
    }
    return out;
}

}  // namespace morvale
