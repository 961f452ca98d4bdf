#pragma once
// Vertex lines assembled from texts: the east and north texts come from a
// cache of values met before, the elevation is formatted per vertex, and the
// preset's axis order places them. The bytes are those of formatVertexLine
// on applyAxisOrder's numbers.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mesh/axis_order.h"
#include "obj/fixed_format.h"
#include "obj/fixed_format_inline.h"
#include "obj/text_caches.h"
#include "obj/text_room.h"

namespace morvale {

// Where a preset's axis order puts each map coordinate: the slot (0, 1, 2) of
// the vertex line and whether the number is negated there.
struct VertexLayout {
    std::uint8_t eastSlot = 0;
    std::uint8_t northSlot = 1;
    std::uint8_t elevationSlot = 2;
    bool negateEast = false;
    bool negateNorth = false;
    bool negateElevation = false;
};

// The layout read off applyAxisOrder itself, for any preset index (rows
// outside the table get its default order).
VertexLayout vertexLayoutFor(std::int32_t presetIndex);

// Calls `f.template operator()<eastSlot, northSlot>()` with the layout's
// slots as compile-time constants: the writers keep one copy of their line
// loops per axis order and choose it once.
template <class F>
inline decltype(auto) withVertexSlots(const VertexLayout& layout, F&& f) {
    switch (layout.eastSlot * 3 + layout.northSlot) {
    case 1: return f.template operator()<0, 1>();
    case 2: return f.template operator()<0, 2>();
    case 3: return f.template operator()<1, 0>();
    case 5: return f.template operator()<1, 2>();
    case 6: return f.template operator()<2, 0>();
    default: return f.template operator()<2, 1>();
    }
}

// The sign bit where an axis order negates: flipSign(value, signBitIf(true)) == -value, bit for bit.
constexpr std::uint64_t signBitIf(bool negate) { return negate ? std::uint64_t{1} << 63 : 0; }
// Negation as a sign flip without a branch.
inline double flipSign(double value, std::uint64_t sign) {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(value) ^ sign);
}

inline double orient(double value, bool negate) { return negate ? -value : value; }

inline char* copyText(char* out, TextRef t) { return copyWide<textCopyBytes>(out, t.text, t.length); }

// A text its caller found shorter than shortTextBytes (as edge texts
// nearly always are): copied by that fixed width without a test.
struct ShortRef {
    const char* text;
    std::size_t length;
};

using NumberText = FormattedText<putFixed4, fixed4MaxChars>;
// The east values' texts (a vertex line's columns) and the north values' (its rows).
using ColumnTexts = ColumnTextCache<putFixed4, fixed4MaxChars>;
using RecentTexts = RecentTextCache<putFixed4, fixed4MaxChars>;

// The text of the last value asked for (the four corners of a floating
// plane share their elevation), held in registers when short: a text just
// stored byte by byte and read back wide stalls the store buffer.
class LastText {
public:
    // True when the value's text is short(), false when it is text().
    bool set(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        if (bits != bits_ || !valid_) {
            bits_ = bits;
            valid_ = true;
            isShort_ = fixed4Short(value, short_);
            if (!isShort_) long_.set(value);
        }
        return isShort_;
    }
    const ShortText& shortText() const { return short_; }
    TextRef text() const { return long_.ref(); }

private:
    std::uint64_t bits_ = 0;
    bool valid_ = false;
    bool isShort_ = false;
    ShortText short_;
    NumberText long_;
};

inline char* putPart(char* out, TextRef text) { return copyText(out, text); }
inline char* putPart(char* out, ShortRef text) {
    std::memcpy(out, text.text, shortTextBytes);
    return out + text.length;
}
inline char* putPart(char* out, const ShortText& text) { return text.put(out); }

// Writes a vertex line with the east, north and elevation texts in the
// slots given at compile time (the elevation's is the one left).
template <int eastSlot, int northSlot, class Text, class Elevation>
inline char* putVertexIn(char* out, Text east, Text north, const Elevation& elevation) {
    static_assert(eastSlot != northSlot && eastSlot >= 0 && eastSlot < 3 && northSlot >= 0 && northSlot < 3);
    const auto putSlot = [&]<int slot>(char* at) {
        if constexpr (slot == eastSlot)
            return putPart(at, east);
        else if constexpr (slot == northSlot)
            return putPart(at, north);
        else
            return putPart(at, elevation);
    };
    out[0] = 'v';
    out[1] = ' ';
    out = putSlot.template operator()<0>(out + 2);
    *out++ = ' ';
    out = putSlot.template operator()<1>(out);
    *out++ = ' ';
    out = putSlot.template operator()<2>(out);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// The same with the slots of the preset's axis order.
inline char* putVertex(char* out, const VertexLayout& layout, TextRef east, TextRef north, TextRef elevation) {
    return withVertexSlots(layout, [&]<int eastSlot, int northSlot>() {
        return putVertexIn<eastSlot, northSlot>(out, east, north, elevation);
    });
}

}  // namespace morvale
