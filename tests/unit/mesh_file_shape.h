#pragma once
// The structure of the binary mesh files, read independently of the writers:
// GLB chunk layout and the glTF JSON (a small JSON reader), accessor and
// buffer view bounds, indices within the vertex count; STL size and count;
// and whether a triangle soup is a closed, outward-facing solid (edges matched
// by exact corner positions, as printing tools do). Shared by the unit tests
// and the fuzz targets.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct Json {
    enum Kind { null, boolean, number, string, array, object } kind = null;
    double value = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> fields;
    const Json* get(const std::string& key) const;
    double numberOr(const std::string& key, double fallback) const;
};
// False on a syntax error.
bool parseJson(std::string_view text, Json& out);

struct GlbShape {
    bool sound = false;
    std::string problem;
    Json json;
    bool hasMesh = false;
    std::int64_t vertexCount = 0;
    std::vector<float> positions;  // 3 per vertex, glTF axes
    std::vector<float> normals;    // 3 per vertex, or empty
    std::vector<float> uvs;        // 2 per vertex, or empty
    std::vector<std::uint32_t> indices;
    double translation[3] = {0, 0, 0};
    std::string imageMime;  // empty: no image
    std::string imageBytes;
};
GlbShape inspectGlb(std::string_view bytes);

struct StlShape {
    bool sound = false;
    std::string problem;
    std::uint32_t count = 0;
    std::vector<float> normals;  // 3 per triangle
    std::vector<float> corners;  // 9 per triangle
};
StlShape inspectStl(std::string_view bytes);

struct SolidShape {
    bool closed = false;    // every directed edge meets its reverse as often as itself
    bool manifold = false;  // ... and every edge belongs to exactly two triangles
    std::string problem;
    std::int64_t edges = 0;
    double volume = 0;  // from the divergence theorem
};
// 9 floats per triangle.
SolidShape inspectSolid(const std::vector<float>& corners);

}  // namespace testing_support
