#include "obj/attribute_text.h"

#include <bit>
#include <cassert>
#include <cstring>

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

namespace {

// A vertex number's text, formatted once and stored as often as a corner names it.
struct NumberWord {
    std::uint64_t word = 0;
    unsigned length = 0;
    bool small = false;
};

NumberWord numberWord(std::int64_t v) {
    NumberWord n;
    if constexpr (std::endian::native == std::endian::little) {
        if (v >= 0 && v < 100000000) {
            n.word = digitWordBelow1e8(static_cast<std::uint32_t>(v), n.length);
            n.small = true;
        }
    }
    return n;
}

char* putNumber(char* out, const NumberWord& n, std::int64_t v) {
    if (n.small) {
        std::memcpy(out, &n.word, 8);
        return out + n.length;
    }
    return putInteger(out, v);
}

}  // namespace

char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes) {
    assert(corners == 3 || corners == 4);
    const bool normals = attributes.normals != NormalLayout::none;
    const bool shared = attributes.normals == NormalLayout::shared;
    const NumberWord sharedText = numberWord(attributes.sharedNormal);
    *out++ = 'f';
    for (int k = 0; k < corners; ++k) {
        *out++ = ' ';
        const NumberWord text = numberWord(vertex[k]);
        out = putNumber(out, text, vertex[k]);
        if (attributes.uv) {
            *out++ = '/';
            out = putNumber(out, text, vertex[k]);
        }
        if (normals) {
            if (!attributes.uv) *out++ = '/';
            *out++ = '/';
            out = shared ? putNumber(out, sharedText, attributes.sharedNormal) : putNumber(out, text, vertex[k]);
        }
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace morvale
