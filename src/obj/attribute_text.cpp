#include "obj/attribute_text.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>

#include "obj/fixed_format.h"

#include "obj/face_text.h"
#include "obj/fixed_format_inline.h"

namespace morvale {

namespace {

// "%.4f" or "%.6f" of a value in [-1, 1] from one rounded product: it lies
// within 2^-33 of the exact product, so it rounds the same way unless the
// exact fraction is within `tieMargin` of a half; those, and values out of
// the interval, go to the exact formatter (false).
template <unsigned decimals>
bool putUnitInterval(double value, char*& out) {
    static_assert(decimals == 4 || decimals == 6);
    constexpr std::uint32_t scale = decimals == 4 ? 10000 : 1000000;
    constexpr double tieMargin = 1e-7;
    const double magnitude = std::fabs(value);
    if (!(magnitude <= 1.0)) return false;
    const double scaled = magnitude * scale;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact below 2^52
    if (std::fabs(fraction - 0.5) < tieMargin) return false;
    std::uint32_t n = static_cast<std::uint32_t>(whole) + (fraction > 0.5 ? 1u : 0u);
    char* o = out;
    *o = '-';
    o += std::signbit(value) ? 1 : 0;
    o[0] = n >= scale ? '1' : '0';
    o[1] = '.';
    n %= scale;
    o += 2;
    if constexpr (decimals == 6) {
        std::memcpy(o, digitPairs + 2 * (n / 10000), 2);
        n %= 10000;
        o += 2;
    }
    std::memcpy(o, digitPairs + 2 * (n / 100), 2);
    std::memcpy(o + 2, digitPairs + 2 * (n % 100), 2);
    out = o + 4;
    return true;
}

char* putFixed6(double value, char* out) {
    if (putUnitInterval<6>(value, out)) return out;
    return formatFixed6(value, out);
}

char* putNormalFixed4(double value, char* out) {
    if (putUnitInterval<4>(value, out)) return out;
    return putFixed4(value, out);
}

}  // namespace

char* putTexCoordLine(char* out, double u, double v) {
    out[0] = 'v';
    out[1] = 't';
    out[2] = ' ';
    out = putFixed6(u, out + 3);
    *out++ = ' ';
    out = putFixed6(v, out);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

char* putNormalLine(char* out, double x, double y, double z) {
    out[0] = 'v';
    out[1] = 'n';
    out[2] = ' ';
    out = putNormalFixed4(x, out + 3);
    *out++ = ' ';
    out = putNormalFixed4(y, out);
    *out++ = ' ';
    out = putNormalFixed4(z, out);
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
