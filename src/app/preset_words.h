#pragma once
// What each export preset does, in plain words, for people who pick a preset
// by its package's name. The words are read from the preset's axis order
// (applyAxisOrder) and its row of exportPresets, so they cannot drift from
// what a conversion does.

#include <cstdint>
#include <string>

namespace morvale {

// "Y up, east -X, north +Z; with Blender's default import Z up, east -X,
// north -Y; unit scale 2: twice the size", on one line.
std::string presetWords(std::int32_t presetIndex);

// The preset's name as the command line spells it: "3ds-max", "cinema-4d".
std::string presetOptionName(std::int32_t presetIndex);

}  // namespace morvale
