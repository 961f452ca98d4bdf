#pragma once
// Vertex lines of floating planes handed over as cells (PlaneLattice in
// mesh_sink.h). The texts of every column's west and east edge are formatted
// once, a row's north and south edge when the row starts, a plane's
// elevation once for its four corners; a line is then a few fixed-width
// copies. With texture coordinates each vertex line is followed by its "vt"
// line, whose texts are kept the same way. The bytes are those of the
// planes' vertices written one by one.
//
// Trade-off: the column texts take up to 4 x 17 bytes a column, so only
// windows up to maxColumns wide keep them, and only when every edge text is
// shorter than shortTextBytes (16: coordinates below 10^10 in magnitude); otherwise
// prepare() says no and the planes come as vertices.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/mesh_sink.h"
#include "obj/attribute_text.h"
#include "obj/fixed_format_inline.h"
#include "obj/vertex_text.h"

namespace morvale {

class PlaneLines {
public:
    static constexpr std::int64_t maxColumns = std::int64_t{1} << 17;
    // Room the lines of one plane need (four vertex lines and four "vt" lines).
    static constexpr std::size_t planeRoom = 4 * (vertexLineRoom + texCoordLineRoom);

    // Keeps the texts of the lattice's columns in the preset's axis order;
    // false (and nothing kept) when the window is too wide, an edge text too
    // long or the memory missing.
    bool prepare(const PlaneLattice& lattice, std::int32_t presetIndex);
    // The lines of `count` planes of the prepared lattice, with their "vt"
    // lines when `uv`; needs count * planeRoom bytes.
    char* put(char* out, const CellValue* cells, std::size_t count, bool uv) {
        return (this->*(uv ? putWithUv_ : putPlain_))(out, cells, count);
    }

private:
    // A text shorter than shortTextBytes, copied that wide.
    struct EdgeText {
        char text[shortTextBytes] = {};
        std::uint8_t length = 0;
        ShortRef ref() const { return {text, length}; }
    };
    static bool fits(const char* text, const char* end, EdgeText& to);
    template <int eastSlot, int northSlot, bool uv>
    char* putPlanes(char* out, const CellValue* cells, std::size_t count);
    void startRow(std::int32_t row);

    using Put = char* (PlaneLines::*)(char*, const CellValue*, std::size_t);
    Put putPlain_ = nullptr;
    Put putWithUv_ = nullptr;
    PlaneLattice lattice_;
    std::uint64_t eastSign_ = 0, northSign_ = 0, elevationSign_ = 0;  // the sign bit where the axis order negates
    // Per column of the window: x texts of the west and east edge, u texts of the same.
    std::vector<EdgeText> west_, east_, westU_, eastU_;
    std::int32_t row_ = -1;
    EdgeText north_, south_, northV_, southV_;
    LastText elevation_;
};

}  // namespace morvale
