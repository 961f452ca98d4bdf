#include "obj/attribute_text.h"

#include <cassert>

#include "convert/face_text.h"
#include "convert/fixed_format_inline.h"

namespace morvale {

char* putTexCoordLine(char* out, double u, double v) {
    out[0] = 'v';
    out[1] = 't';
    out[2] = ' ';
    out = formatFixed6(u, out + 3);
    *out++ = ' ';
    out = formatFixed6(v, out);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

char* putNormalLine(char* out, double x, double y, double z) {
    out[0] = 'v';
    out[1] = 'n';
    out += 2;
    for (const double value : {x, y, z}) {
        *out++ = ' ';
        out = putFixed4(value, out);
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes) {
    assert(corners == 3 || corners == 4);
    *out++ = 'f';
    for (int k = 0; k < corners; ++k) {
        *out++ = ' ';
        out = putInteger(out, vertex[k]);
        if (attributes.uv) {
            *out++ = '/';
            out = putInteger(out, vertex[k]);
        }
        if (attributes.normals != NormalLayout::none) {
            if (!attributes.uv) *out++ = '/';
            *out++ = '/';
            out = putInteger(out, attributes.normals == NormalLayout::shared ? attributes.sharedNormal : vertex[k]);
        }
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace morvale
