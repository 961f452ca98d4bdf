#include "app/preset_words.h"

#include "app/settings_correction.h"
#include "mesh/axis_order.h"

namespace morvale {
namespace {

struct Frame {
    double axis[3];  // a map direction's three numbers in the file (or the package)
};

Frame fileFrame(std::int32_t presetIndex, double east, double north, double elevation) {
    const VertexCoordinates v = applyAxisOrder(presetIndex, east, north, elevation);
    return {{v.first, v.second, v.third}};
}

// An import that reads Y as up and -Z as forward into a Z-up frame.
Frame zUpImport(const Frame& file) { return {{file.axis[0], -file.axis[2], file.axis[1]}}; }

// "+X", "-Z": the one axis a map direction runs along.
std::string axisName(const Frame& direction) {
    for (int i = 0; i < 3; ++i)
        if (direction.axis[i] != 0.0)
            return std::string(direction.axis[i] > 0 ? "+" : "-") + static_cast<char>('X' + i);
    return "?";
}

std::string frameWords(const Frame& east, const Frame& north, const Frame& up) {
    return axisName(up).substr(1) + " up, east " + axisName(east) + ", north " + axisName(north);
}

std::string displayName(std::int32_t presetIndex) {
    std::string name;
    for (const wchar_t* c = exportPresets[presetIndex].displayName; *c != L'\0'; ++c) name += static_cast<char>(*c);
    return name;
}

}  // namespace

std::string presetWords(std::int32_t presetIndex) {
    const Frame east = fileFrame(presetIndex, 1, 0, 0);
    const Frame north = fileFrame(presetIndex, 0, 1, 0);
    const Frame up = fileFrame(presetIndex, 0, 0, 1);
    std::string words = frameWords(east, north, up);
    if (presetYUpImportedAsZUp[presetIndex])
        words += "; with " + displayName(presetIndex) + "'s default import " +
                 frameWords(zUpImport(east), zUpImport(north), zUpImport(up));
    const std::int32_t scale = exportPresets[presetIndex].defaultUnitScale;
    words += "; unit scale " + std::to_string(scale);
    words += scale == 1   ? ": the grid's own size"
             : scale == 2 ? ": twice the size"
                          : ": " + std::to_string(scale) + " times the size";
    return words;
}

std::string presetOptionName(std::int32_t presetIndex) {
    std::string name = displayName(presetIndex);
    for (char& c : name) c = c == ' ' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

}  // namespace morvale
