#pragma once
// The Interpolated faces from the data mask alone: where each window row's
// vertex numbers and faces start (found while meshing), and a cursor that
// puts the faces' corners in order from any face on.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

#include "mesh/corner_finder.h"

namespace morvale {

struct MeshPlan {
    std::int64_t verticesCreated = 0;
    std::int64_t dataCells = 0;
    std::vector<std::int64_t> verticesBefore;  // per window row, then the total
    std::vector<std::int64_t> dataBefore;      // faces before each window row, then the total
};

class FaceCursor {
public:
    FaceCursor(const CropWindow& window, const MeshPlan& plan, FaceWalk& walk)
        : window_(window), plan_(plan), walk_(walk) {}

    // Moves to face `face` (0-based), which must exist.
    void seek(std::int64_t face) {
        assert(face >= 0 && face < plan_.dataCells);
        const std::vector<std::int64_t>& before = plan_.dataBefore;
        // The last row whose faces start at or before `face`: it holds it.
        row_ = static_cast<std::size_t>(std::upper_bound(before.begin(), before.end() - 1, face) - before.begin() - 1);
        startRow();
        walk_.seekFace(face - before[row_]);
    }

    // Puts the corners of the next `count` faces, which must exist, four numbers a face.
    std::int64_t* put(std::int64_t* out, std::int64_t count) {
        assert(count >= 0);
        while ((count -= walk_.putFaces(out, count)) > 0) {
            ++row_;
            startRow();
        }
        return out;
    }

    // The lowest vertex number the faces from the cursor on can name: the
    // first of their row's north line.
    std::int64_t lowestVertexAhead() const { return plan_.verticesBefore[row_] + 1; }

private:
    void startRow() {
        assert(row_ + 1 < plan_.verticesBefore.size());
        walk_.startRow(window_.yMin + static_cast<std::int64_t>(row_), plan_.verticesBefore[row_],
                       plan_.verticesBefore[row_ + 1]);
    }

    CropWindow window_;
    const MeshPlan& plan_;
    FaceWalk& walk_;
    std::size_t row_ = 0;
};

}  // namespace morvale
