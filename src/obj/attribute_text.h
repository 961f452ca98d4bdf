#pragma once
// OBJ lines of the vertex attributes: texture coordinates ("vt"), normals
// ("vn") and faces that name them ("f v/vt", "f v//vn", "f v/vt/vn"), with
// CR LF like every line of the file.
//
// Every vertex has its own texture coordinate, written in vertex order, so
// the i-th "vt" line belongs to the i-th "v" line and a face names the same
// number twice. Normals are either one per vertex (named like the texture
// coordinates) or one for the whole mesh, written once and named by every face.

#include <cstddef>
#include <cstdint>

#include "mesh/mesh_sink.h"
#include "obj/face_text.h"
#include "obj/fixed_format.h"
#include "obj/text_caches.h"
#include "obj/text_room.h"

namespace morvale {

// "vt U V": six decimals, exact (see formatFixed6). Room: texCoordLineRoom.
char* putTexCoordLine(char* out, double u, double v);
// One number of a "vt" line; needs room for fixed6MaxChars.
char* putTexCoordNumber(double value, char* out);

// The one place a "vt" line is put together, from its numbers' texts; a
// text up to shortTextBytes long must have that many readable bytes.
inline char* putTexCoordTexts(char* out, const char* u, std::size_t uLength, const char* v, std::size_t vLength) {
    out[0] = 'v';
    out[1] = 't';
    out[2] = ' ';
    out = copyWide<shortTextBytes>(out + 3, u, uLength);
    *out++ = ' ';
    out = copyWide<shortTextBytes>(out, v, vLength);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// The texts of u met before (see ColumnTextCache): the corner lines of a
// grid meet the same columns again.
using ColumnTexCoords = ColumnTextCache<putTexCoordNumber, fixed6MaxChars>;

// The same lines for a run of vertices, keeping the texts of the last two
// distinct values of each coordinate: the vertices of a corner line share
// their v, a floating plane's four corners take two of each. One per
// formatting thread. With `columns` (kept by the caller) u comes from there.
class TexCoordLines {
public:
    TexCoordLines() = default;
    explicit TexCoordLines(ColumnTexCoords* columns) : columns_(columns) {}
    char* put(char* out, double u, double v);

private:
    using Recent = RecentTextCache<putTexCoordNumber, fixed6MaxChars>;
    Recent u_, v_;
    ColumnTexCoords* columns_ = nullptr;
};

// "vn X Y Z" with the numbers as given (the caller applies the axis order):
// "%.4f" like the vertex lines, a ten-thousandth of a radian. Room: normalLineRoom.
char* putNormalLine(char* out, double x, double y, double z);

// What the faces of a mesh name besides their vertices.
struct FaceAttributes {
    bool uv = false;
    NormalLayout normals = NormalLayout::none;
    std::int64_t sharedNormal = 1;  // the "vn" a shared normal was written as
};

// "f" and `corners` (3 or 4) references "v", "v/vt", "v//vn" or "v/vt/vn";
// room for a line: attributeFaceLineRoom.
char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes);
// The same, a face after another: each number's text follows the counters of
// the plain face lines (face_text.h), formatted once and stored as often as a
// corner names it. One `lines` per formatting thread.
char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes,
                           FaceLines& lines);
// `count` such lines, `vertex` holding `corners` numbers for each; room: count * attributeFaceLineRoom.
char* putAttributeFaceLines(char* out, const std::int64_t* vertex, std::size_t count, int corners,
                            const FaceAttributes& attributes, FaceLines& lines);
// The lines of the faces of `count` floating planes from plane `firstPlane` on
// (planeFaceVertices), with the references `attributes` asks for, or plain.
char* putPlaneFaceLines(char* out, std::int64_t firstPlane, std::size_t count, const FaceAttributes& attributes,
                        FaceLines& lines);

}  // namespace morvale
