#pragma once
// The user's choices for one conversion.

#include <cstdint>

namespace morvale {

enum class TerrainMode : std::uint8_t { Interpolated, FloatingPlanes };

struct ConversionSettings {
    TerrainMode mode = TerrainMode::Interpolated;
    std::int32_t cropXMin = 1;  // 1-based, inclusive; column 1 is the west edge
    std::int32_t cropYMin = 1;  // 1-based, inclusive; row 1 is the first (northern) row
    std::int32_t cropXMax = 1;
    std::int32_t cropYMax = 1;
    std::int32_t presetIndex = 0;
    bool useXllYllOffsets = false;
    bool centerZ = false;
    double unitScale = 1.0;
};

}  // namespace morvale
