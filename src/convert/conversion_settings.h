#pragma once
// The user's choices for one conversion, the export presets and their axis orders.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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

struct ExportPreset {
    wchar_t displayName[16];
    std::int32_t defaultUnitScale;
};

inline constexpr std::array<ExportPreset, 6> exportPresets{{
    {L"3ds max", 1},
    {L"Blender", 2},
    {L"Cinema 4D", 1},
    {L"Maya", 100},
    {L"Unreal", 100},
    {L"ZBrush", 1},
}};

struct VertexCoordinates {
    double first;
    double second;
    double third;
};

// The three numbers of a vertex line for a map point (east, north, elevation).
// Every order is a rotation, so faces keep pointing along the elevation axis.
inline VertexCoordinates applyAxisOrder(std::int32_t presetIndex, double east, double north, double elevation) {
    switch (presetIndex) {
    case 1: return {-east, elevation, north};      // Blender: Y up, east negated
    case 2:
    case 3:
    case 5: return {east, elevation, -north};      // Cinema 4D, Maya, ZBrush: Y up, north negated
    default: return {east, north, elevation};      // 3ds max, Unreal: Z up
    }
}

// Preset row for a name as displayed, in any letter case, with '-' or '_' for
// spaces and surrounding blanks ignored; -1 when no preset has that name.
std::int32_t findPresetByName(std::wstring_view name);

// What the settings controls hold when Convert is pressed.
struct SettingsControls {
    bool cropEnabled = false;
    std::wstring cropXMinText, cropYMinText, cropXMaxText, cropYMaxText;
    std::int32_t presetSelection = -1;  // selected row of the preset list, -1 for none
    std::wstring presetText;            // the preset box's own text (it is editable)
    bool useXllYllOffsets = false;
    bool centerZ = false;
    std::wstring unitScaleText;
};

// The corrected settings and the texts to show back in the controls.
struct CorrectedSettings {
    ConversionSettings settings;      // every field but mode
    bool rewriteCrop = false;         // the crop edits are rewritten only while cropping is on
    std::wstring cropXMinText, cropYMinText, cropXMaxText, cropYMaxText;
    std::wstring unitScaleText;
    std::int32_t presetSelection = 0; // the row to select in the preset list
};

// The correction rules of the Convert command as a plain function.
CorrectedSettings correctSettings(const SettingsControls& controls, std::int32_t ncols, std::int32_t nrows);

}  // namespace morvale
