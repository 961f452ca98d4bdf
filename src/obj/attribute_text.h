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
#include <cstring>
#include <memory>

#include "obj/fixed_format.h"
#include "mesh/mesh_sink.h"
#include "obj/face_text.h"
#include "obj/fixed6_format.h"

namespace morvale {

// "vt U V": six decimals, exact (see formatFixed6). Room: texCoordLineRoom.
inline constexpr std::size_t texCoordLineRoom = 3 + 2 * (1 + fixed6MaxChars) + 2;
char* putTexCoordLine(char* out, double u, double v);
// One number of a "vt" line; needs room for fixed6MaxChars.
char* putTexCoordNumber(char* out, double value);

// The one place a "vt" line is put together, from its numbers' texts; a
// text up to 16 bytes long must have 16 readable bytes.
inline char* putTexCoordTexts(char* out, const char* u, std::size_t uLength, const char* v, std::size_t vLength) {
    const auto copy = [](char* to, const char* text, std::size_t length) {
        if (length <= 16)
            std::memcpy(to, text, 16);
        else
            std::memcpy(to, text, length);
        return to + length;
    };
    out[0] = 'v';
    out[1] = 't';
    out[2] = ' ';
    out = copy(out + 3, u, uLength);
    *out++ = ' ';
    out = copy(out, v, vLength);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// The texts of u met before, kept in the order they first came: the corner
// lines of a grid meet the same columns again, so the entry after the last
// one asked for is nearly always the next one; otherwise a value is looked
// up by its bits. Once full (or for a text longer than an entry holds),
// values met later are formatted each time.
class ColumnTexCoords {
public:
    static constexpr std::size_t entryCount = std::size_t{1} << 14;
    static constexpr int indexBits = 15;
    static constexpr std::size_t entryText = 16;

    // False when the entries do not fit in memory.
    bool allocate();
    // The text of u (valid until the next call), `length` its bytes; entryText readable bytes.
    const char* text(double u, unsigned& length);

private:
    struct Entry {
        std::uint64_t bits = 0;
        char text[entryText] = {};
        unsigned length = 0;  // 0: empty
    };
    bool holds(std::size_t k, std::uint64_t bits) const { return entries_[k].bits == bits && entries_[k].length != 0; }
    std::unique_ptr<Entry[]> entries_;  // entryCount + 2: the one after the last stays empty
    std::unique_ptr<std::uint32_t[]> index_;
    std::size_t used_ = 1;  // entry 0 stays empty: an index slot never set finds nothing
    std::size_t last_ = 0;
    char scratch_[fixed6MaxChars + 16] = {};
};

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
    struct Text {
        std::uint64_t bits = ~std::uint64_t{0};  // a NaN no coordinate is
        unsigned length = 0;
        char text[fixed6MaxChars + 16] = {};
    };
    struct Recent {
        Text slot[2];
        unsigned older = 0;
        const Text& of(double value);
    };
    Recent u_, v_;
    ColumnTexCoords* columns_ = nullptr;
};

// "vn X Y Z" with the numbers as given (the caller applies the axis order):
// "%.4f" like the vertex lines, a ten-thousandth of a radian. Room: normalLineRoom.
inline constexpr std::size_t normalLineRoom = 2 + 3 * (1 + fixed4MaxChars) + 2 + 8;
char* putNormalLine(char* out, double x, double y, double z);

// What the faces of a mesh name besides their vertices.
struct FaceAttributes {
    bool uv = false;
    NormalLayout normals = NormalLayout::none;
    std::int64_t sharedNormal = 1;  // the "vn" a shared normal was written as
};

// Room for a face line of up to 4 corners, with the integer writer's slack.
inline constexpr std::size_t attributeFaceLineRoom = 1 + 4 * (1 + 3 * 20 + 2) + 2 + 16;

// "f" and `corners` (3 or 4) references "v", "v/vt", "v//vn" or "v/vt/vn".
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
