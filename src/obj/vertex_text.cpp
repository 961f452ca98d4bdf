#include "obj/vertex_text.h"

#include "mesh/axis_order.h"

namespace morvale {

VertexLayout vertexLayoutFor(std::int32_t presetIndex) {
    // Every axis order is a signed permutation: distinct powers of two show
    // where each coordinate lands and with which sign.
    const VertexCoordinates probe = applyAxisOrder(presetIndex, 1.0, 2.0, 4.0);
    const double slots[3] = {probe.first, probe.second, probe.third};
    VertexLayout layout;
    for (std::uint8_t slot = 0; slot < 3; ++slot) {
        const double v = slots[slot];
        const double magnitude = v < 0 ? -v : v;
        const bool negated = v < 0;
        if (magnitude == 1.0)
            layout.eastSlot = slot, layout.negateEast = negated;
        else if (magnitude == 2.0)
            layout.northSlot = slot, layout.negateNorth = negated;
        else
            layout.elevationSlot = slot, layout.negateElevation = negated;
    }
    return layout;
}

}  // namespace morvale
