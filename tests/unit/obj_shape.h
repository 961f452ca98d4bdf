#pragma once
// The structure of an OBJ file as the builders write it: CR LF lines, vertex
// lines of three "%.4f" numbers, the vertex count comment, faces naming
// existing vertices, and the quad count comment as the last bytes. Shared by
// the unit tests and the fuzz targets.

#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

struct ObjShape {
    bool sound = false;
    std::string problem;  // what is wrong when not sound
    std::int64_t vertexLines = 0;
    std::int64_t faceLines = 0;
    std::int64_t vertexComment = -1;
    std::int64_t quadComment = -1;
};

ObjShape inspectObj(std::string_view obj);

}  // namespace testing_support
