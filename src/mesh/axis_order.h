#pragma once
// The export presets' axis orders: how a map point becomes the three numbers a 3D package expects.

#include <cstdint>

namespace morvale {

struct VertexCoordinates {
    double first;
    double second;
    double third;
};

// The three numbers of a vertex line for a map point (east, north, elevation).
// Every order is a rotation, so faces keep pointing along the elevation axis.
inline VertexCoordinates applyAxisOrder(std::int32_t presetIndex, double east, double north, double elevation) {
    switch (presetIndex) {
    case 1: return {-east, elevation, north};  // Blender: Y up, east negated
    case 2:
    case 3:
    case 5: return {east, elevation, -north};  // Cinema 4D, Maya, ZBrush: Y up, north negated
    default: return {east, north, elevation};  // 3ds max, Unreal: Z up
    }
}

}  // namespace morvale
