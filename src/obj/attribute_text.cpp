#include "obj/attribute_text.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "obj/face_text.h"
#include "obj/fixed_format.h"
#include "obj/fixed_format_inline.h"

namespace morvale {

namespace {

// "%.4f" or "%.6f" of a value in [-1, 1] from one rounded product: it lies
// within 2^-33 of the exact product, so it rounds the same way unless the
// exact fraction is within `tieMargin` of a half; those, values out of the
// interval and machines that store the highest byte first go to the exact
// formatter (false). The text is assembled in one word ("d.dddd" or
// "d.dddddd"), stored at once: 8 bytes at out.
template <unsigned decimals>
bool putUnitInterval(double value, char*& out) {
    static_assert(decimals == 4 || decimals == 6);
    if constexpr (std::endian::native != std::endian::little) return false;
    constexpr std::uint32_t scale = decimals == 4 ? 10000 : 1000000;
    constexpr double tieMargin = 1e-7;
    const double magnitude = std::fabs(value);
    if (!(magnitude <= 1.0)) return false;
    const double scaled = magnitude * scale;
    const std::uint32_t whole = static_cast<std::uint32_t>(scaled);  // the floor: not negative
    const double fraction = scaled - static_cast<double>(whole);     // exact below 2^52
    if (std::fabs(fraction - 0.5) < tieMargin) return false;
    const std::uint32_t n = whole + (fraction > 0.5 ? 1u : 0u);
    const std::uint32_t ones = n >= scale ? 1u : 0u;
    // The decimals in 16-bit lanes of two digits each, split into bytes at once.
    const std::uint32_t rest = n - ones * scale;
    const std::uint32_t pairs = decimals == 4 ? rest : rest % 10000;
    std::uint64_t lanes = pairs / 100 | std::uint64_t{pairs % 100} << 16;
    if constexpr (decimals == 6) lanes = rest / 10000 | lanes << 16;
    const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000Full;
    const std::uint64_t digits = (tens | (lanes - tens * 10) << 8) + 0x3030303030303030ull;
    const std::uint64_t text = ('0' + ones) | std::uint64_t{'.'} << 8 | digits << 16;
    char* o = out;
    *o = '-';
    o += std::signbit(value) ? 1 : 0;
    std::memcpy(o, &text, 8);
    out = o + 2 + decimals;
    return true;
}

// The exact formatter out of line: the rare values it takes keep the common path small.
char* putNormalFixed4(double value, char* out) {
    if (putUnitInterval<4>(value, out)) return out;
    return formatFixed4(value, out);
}

}  // namespace

char* putTexCoordLine(char* out, double u, double v) {
    TexCoordLines lines;
    return lines.put(out, u, v);
}

char* putTexCoordNumber(double value, char* out) {
    if (putUnitInterval<6>(value, out)) return out;
    return formatFixed6(value, out);
}

char* TexCoordLines::put(char* out, double u, double v) {
    const TextRef uText = columns_ != nullptr ? columns_->get(u) : u_.get(u);
    const TextRef vText = v_.get(v);
    return putTexCoordTexts(out, uText.text, uText.length, vText.text, vText.length);
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

char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes) {
    FaceLines lines;
    return putAttributeFaceLine(out, vertex, corners, attributes, lines);
}

namespace {

// Number texts up to a word long were stored a word wide.
char* copyNumber(char* to, const char* from, unsigned n) { return copyWide<textWordBytes>(to, from, n); }

// putInteger's text (a short one stored a word wide), read a word wide.
constexpr std::size_t integerTextBytes = integerMaxChars + textWordBytes;

// The text of the shared normal's number, formatted once for many faces.
struct SharedText {
    char text[integerTextBytes];
    unsigned length = 0;
};

SharedText sharedTextOf(const FaceAttributes& attributes) {
    SharedText shared;
    if (attributes.normals == NormalLayout::shared)
        shared.length = static_cast<unsigned>(putInteger(shared.text, attributes.sharedNormal) - shared.text);
    return shared;
}

// A corner's reference: " v", then "/vt", "//vn" or "/vt/vn" as the face
// names them, its number written by putNumber.
template <bool uv, NormalLayout normals, class PutNumber>
char* putCorner(char* out, const PutNumber& putNumber, const SharedText& shared) {
    *out = ' ';
    out = putNumber(out + 1);
    if constexpr (uv) {
        *out = '/';
        out = putNumber(out + 1);
    }
    if constexpr (normals != NormalLayout::none) {
        if constexpr (!uv) *out++ = '/';
        *out++ = '/';
        if constexpr (normals == NormalLayout::shared)
            out = copyNumber(out, shared.text, shared.length);
        else
            out = putNumber(out);
    }
    return out;
}

// A face line from its corners' number texts as words.
template <int corners, bool uv, NormalLayout normals>
char* putFaceWords(char* out, const std::uint64_t* word, const unsigned* length, const SharedText& shared) {
    *out++ = 'f';
    for (int k = 0; k < corners; ++k)
        out = putCorner<uv, normals>(
            out,
            [&](char* at) {
                std::memcpy(at, &word[k], 8);
                return at + length[k];
            },
            shared);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// The rare face with a number no word holds (10^8 and above): each
// corner's number formatted in full once, then copied as often as the
// corner names it.
template <int corners, bool uv, NormalLayout normals>
char* putFaceInFull(char* out, const std::int64_t* vertex, const SharedText& shared) {
    char text[corners][integerTextBytes];
    unsigned length[corners];
    for (int k = 0; k < corners; ++k) length[k] = static_cast<unsigned>(putInteger(text[k], vertex[k]) - text[k]);
    *out++ = 'f';
    for (int k = 0; k < corners; ++k)
        out = putCorner<uv, normals>(
            out, [&](char* at) { return copyNumber(at, text[k], length[k]); }, shared);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// A floating plane's face once its numbers reach 10^8: the four numbers
// from 4p - 3 on share their digits above the last eight (unless they
// straddle a multiple of 10^8), which are formatted once, and the last
// eight are a word moved on by decimal adds.
template <bool uv, NormalLayout normals>
char* putLongPlaneFace(char* out, const std::int64_t* plane, const SharedText& shared) {
    constexpr std::int64_t eightDigits = 100000000;
    const std::int64_t low = plane[3], head = low / eightDigits, tail = low % eightDigits;
    if (tail > eightDigits - 4 || head >= eightDigits) return putFaceInFull<4, uv, normals>(out, plane, shared);
    unsigned headLength = 0;
    const std::uint64_t headWord = digitWordBelow1e8(static_cast<std::uint32_t>(head), headLength);
    std::uint64_t tailWord[4];
    tailWord[3] = eightDigitWord(static_cast<std::uint32_t>(tail));
    for (int k = 2; k >= 0; --k) {
        tailWord[k] = tailWord[k + 1];
        addToDigitWord(tailWord[k], 56, 1);  // no carry past the eighth digit: tail <= 10^8 - 4
    }
    *out++ = 'f';
    for (int k = 0; k < 4; ++k)
        out = putCorner<uv, normals>(
            out,
            [&](char* at) {
                std::memcpy(at, &headWord, 8);
                std::memcpy(at + headLength, &tailWord[k], 8);
                return at + headLength + 8;
            },
            shared);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// The line of a face whose numbers are all at most 9 above `low`, where the
// counter `near` stands: each number is the counter's text plus a digit
// step, made once in a register and stored as often as the corner names it
// (the counter is a copy: a store through `out` could alias it). The words
// come first and the line after, which keeps the common case small enough
// to inline.
template <int corners, bool uv, NormalLayout normals>
char* putNearFace(char* out, const NumberTextCounter near, std::int64_t low, const std::int64_t* vertex,
                  const SharedText& shared) {
    std::uint64_t word[corners];
    unsigned length[corners];
    bool inWords = true;
    for (int k = 0; k < corners; ++k) inWords &= near.word(static_cast<int>(vertex[k] - low), word[k], length[k]);
    if (inWords) [[likely]]
        return putFaceWords<corners, uv, normals>(out, word, length, shared);
    return putFaceInFull<corners, uv, normals>(out, vertex, shared);
}

// One face line, the corner count and what the corners name fixed at compile time.
template <int corners, bool uv, NormalLayout normals>
char* putFace(char* out, const std::int64_t* vertex, const SharedText& shared, FaceLines& lines) {
    std::uint64_t word[corners];
    unsigned length[corners];
    if constexpr (corners == 4 && normals != NormalLayout::shared) {
        if (lines.nextQuadWords(vertex, word, length)) {
            lines.keepQuad(vertex, word, length);
            return putFaceWords<corners, uv, normals>(out, word, length, shared);
        }
    }
    // A face's numbers lie in one or two clusters (a row and the next), as in FaceLines::put.
    std::int64_t low = vertex[0], high = vertex[0];
    for (int c = 1; c < corners; ++c) {
        low = std::min(low, vertex[c]);
        high = std::max(high, vertex[c]);
    }
    lines.nearNumbers.moveTo(low);
    if (high - low <= 9) return putNearFace<corners, uv, normals>(out, lines.nearNumbers, low, vertex, shared);
    // Each corner's number as a word in registers, stored as often as the
    // corner names it (a text stored and read back wide stalls the store buffer).
    if (lines.apartWords<corners>(vertex, low, high, word, length)) [[likely]]
        return putFaceWords<corners, uv, normals>(out, word, length, shared);
    return putFaceInFull<corners, uv, normals>(out, vertex, shared);
}

// `count` faces: `vertex` holds their numbers, or, when null, they are
// those of the floating planes from `firstPlane` on.
template <int corners, bool uv, NormalLayout normals>
char* putFaces(char* out, const std::int64_t* vertex, std::int64_t firstPlane, std::size_t count,
               const SharedText& shared, FaceLines& lines) {
    if (vertex != nullptr) {
        for (std::size_t k = 0; k < count; ++k, vertex += corners)
            out = putFace<corners, uv, normals>(out, vertex, shared, lines);
        return out;
    }
    if constexpr (corners == 4) {
        // A plane's numbers are the four from 4p - 3 on: the counter moves by four.
        for (std::int64_t p = firstPlane, end = firstPlane + static_cast<std::int64_t>(count); p < end; ++p) {
            std::int64_t plane[4];
            planeFaceVertices(p, plane);
            if (plane[3] >= 100000000) {
                out = putLongPlaneFace<uv, normals>(out, plane, shared);
                continue;
            }
            lines.nearNumbers.moveTo(plane[3]);
            out = putNearFace<4, uv, normals>(out, lines.nearNumbers, plane[3], plane, shared);
        }
    }
    return out;
}

template <int corners>
char* putFacesOf(char* out, const std::int64_t* vertex, std::int64_t firstPlane, std::size_t count,
                 const FaceAttributes& a, FaceLines& lines) {
    const SharedText shared = sharedTextOf(a);
    switch (a.normals) {
    case NormalLayout::none:
        return a.uv ? putFaces<corners, true, NormalLayout::none>(out, vertex, firstPlane, count, shared, lines)
                    : putFaces<corners, false, NormalLayout::none>(out, vertex, firstPlane, count, shared, lines);
    case NormalLayout::perVertex:
        return a.uv ? putFaces<corners, true, NormalLayout::perVertex>(out, vertex, firstPlane, count, shared, lines)
                    : putFaces<corners, false, NormalLayout::perVertex>(out, vertex, firstPlane, count, shared, lines);
    default:
        return a.uv ? putFaces<corners, true, NormalLayout::shared>(out, vertex, firstPlane, count, shared, lines)
                    : putFaces<corners, false, NormalLayout::shared>(out, vertex, firstPlane, count, shared, lines);
    }
}

}  // namespace

char* putAttributeFaceLine(char* out, const std::int64_t* vertex, int corners, const FaceAttributes& attributes,
                           FaceLines& lines) {
    return putAttributeFaceLines(out, vertex, 1, corners, attributes, lines);
}

char* putAttributeFaceLines(char* out, const std::int64_t* vertex, std::size_t count, int corners,
                            const FaceAttributes& attributes, FaceLines& lines) {
    assert(corners == 3 || corners == 4);
    return corners == 4 ? putFacesOf<4>(out, vertex, 0, count, attributes, lines)
                        : putFacesOf<3>(out, vertex, 0, count, attributes, lines);
}

char* putPlaneFaceLines(char* out, std::int64_t firstPlane, std::size_t count, const FaceAttributes& attributes,
                        FaceLines& lines) {
    assert(firstPlane >= 1);
    return putFacesOf<4>(out, nullptr, firstPlane, count, attributes, lines);
}

}  // namespace morvale
