#pragma once
// The export presets and the correction rules that turn the settings controls into conversion settings.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/conversion_settings.h"

namespace morvale {

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

// Whether the package of each row, with its default import, reads the file's
// Y as up and its -Z as forward and turns them into its own Z up: then where
// north points in the package is not where it points in the file.
inline constexpr std::array<bool, exportPresets.size()> presetYUpImportedAsZUp{{
    false,  // 3ds max
    true,   // Blender
    false,  // Cinema 4D
    false,  // Maya
    false,  // Unreal
    false,  // ZBrush
}};

// Preset row for a name as displayed, in any letter case, with '-' or '_' for
// spaces and surrounding blanks ignored; -1 when no preset has that name.
std::int32_t findPresetByName(std::wstring_view name);

// An edit's number as the rules read it from the first 14 characters, and how
// many characters the reading took (0 when it found no digits). Integers read
// like wcstol and saturate at the 32-bit limits; reals read like wcstod in the
// "C" locale, an overflow giving infinity. No digits read as 0.
struct EditInteger {
    std::int32_t value = 0;
    std::size_t readLength = 0;
};
struct EditReal {
    double value = 0.0;
    std::size_t readLength = 0;
};
EditInteger readEditInteger(const std::wstring& text);
EditReal readEditReal(const std::wstring& text);

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
    ConversionSettings settings;  // every field but mode
    bool rewriteCrop = false;     // the crop edits are rewritten only while cropping is on
    std::wstring cropXMinText, cropYMinText, cropXMaxText, cropYMaxText;
    std::wstring unitScaleText;
    std::int32_t presetSelection = 0;  // the row to select in the preset list
};

// The correction rules of the Convert command as a plain function.
CorrectedSettings correctSettings(const SettingsControls& controls, std::int32_t ncols, std::int32_t nrows);

// The settings as numbers already read: the command line reads its own texts,
// whole, and then corrects them by the same rules.
struct SettingValues {
    bool cropEnabled = false;
    std::int32_t cropXMin = 0, cropYMin = 0, cropXMax = 0, cropYMax = 0;
    std::int32_t presetIndex = 0;  // a row of exportPresets
    bool useXllYllOffsets = false;
    bool centerZ = false;
    double unitScale = 1.0;
};

// The correction rules, after the reading of correctSettings().
CorrectedSettings correctSettingValues(const SettingValues& values, std::int32_t ncols, std::int32_t nrows);

}  // namespace morvale
