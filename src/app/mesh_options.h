#pragma once
// The window's mesh options: what morvale-convert's --format, --max-error,
// --max-triangles, --uv, --uv-extent, --normals, --texture, --solid and
// --z-scale ask,
// kept as one record until the program ends or another grid opens (nothing
// is stored). With the defaults a conversion writes what the window always
// wrote, byte for byte.
//
// Which choices go together is the converter's own rule
// (conversionConflict): a choice is offered when adding it to the options
// breaks no rule, and its reason is the converter's message when it does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/conversion_request.h"

namespace morvale {

struct MeshOptions {
    OutputFormat format = OutputFormat::obj;
    std::optional<double> maxError;  // grid elevation units
    std::int64_t maxTriangles = 0;   // 0: no budget
    AttributeSettings attributes;
    bool solid = false;
    std::optional<double> solidBase;  // grid units; none: the default rule
    double zScale = 1.0;              // vertical exaggeration
};

// True when any option differs from the defaults.
bool meshOptionsChosen(const MeshOptions& options);

// Copies the options into a request (whose other fields stay).
void applyMeshOptions(const MeshOptions& options, ConversionRequest& request);

// The choices the window offers on their own controls.
enum class MeshChoice : std::uint8_t {
    maxError,      // replaces a triangle budget
    maxTriangles,  // replaces an error bound
    uv,
    normals,
    texture,
    solid,
    solidBase,  // a given base, solid implied
};

// Why `choice` cannot be added to `options` for a conversion with `settings`
// (mode, centring): the converter's message, or null when it can.
const char* meshChoiceConflict(MeshChoice choice, const MeshOptions& options, const ConversionSettings& settings);

// What is on, in a few words for the Step 04 line ("GLB, max error 0.5,
// texture"); empty with the defaults.
std::wstring meshOptionsWords(const MeshOptions& options);

// A vertical exaggeration typed as text: the converter's reading and its
// message for --z-scale ("--z-scale: '0' is not above 0; ..."); true when read.
bool readZScale(std::string_view text, double& scale, char* message, std::size_t size);

// A solid base typed as text: the converter's reading and message ("--solid:
// 'x' is not a number"); true when read.
bool readSolidBase(std::string_view text, double& base, char* message, std::size_t size);

}  // namespace morvale
