#pragma once
// Vertex lines assembled from texts: the east and north texts come from a
// cache of values met before, the elevation is formatted per vertex, and the
// preset's axis order places them. The bytes are those of formatVertexLine
// on applyAxisOrder's numbers.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mesh/axis_order.h"
#include "obj/fixed_format.h"
#include "obj/fixed_format_inline.h"

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

inline double orient(double value, bool negate) { return negate ? -value : value; }

// Copying texts by a fixed 32 bytes is much faster than by their length; the
// sources then keep 32 readable bytes and the destination room for them.
inline constexpr std::size_t textCopyBytes = 32;

struct TextRef {
    const char* text;
    std::size_t length;
};

inline char* copyText(char* out, TextRef t) {
    if (t.length <= textCopyBytes)
        std::memcpy(out, t.text, textCopyBytes);
    else
        std::memcpy(out, t.text, t.length);
    return out + t.length;
}

// Room a vertex line needs at its destination, copying slack included.
inline constexpr std::size_t vertexLineRoom = 1 + 3 * (1 + fixed4MaxChars) + 2 + textCopyBytes;

// One number's text with the copying slack.
struct NumberText {
    char text[fixed4MaxChars + textCopyBytes] = {};
    std::size_t length = 0;

    void set(double value) { length = static_cast<std::size_t>(putFixed4(value, text) - text); }
    TextRef ref() const { return {text, length}; }
};

// The texts of coordinate values met before, found by their bit pattern:
// every vertex of a window column has the same east value and every vertex
// of a row the same north value, so each is formatted about once. A slot
// holds a text of up to textCopyBytes; a longer one (coordinates beyond
// 10^26) is formatted each time into one of two scratch texts.
class CoordinateTexts {
public:
    static constexpr int slotBits = 16;

    // Throws std::bad_alloc when the slots do not fit in memory.
    CoordinateTexts() : slots_(std::size_t{1} << slotBits) {}

    // The text of `value`; the text asked for with `first` stays valid through
    // the next call (the two texts of one line).
    TextRef get(double value, bool first) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        Slot& slot = slots_[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - slotBits))];
        if (slot.bits == bits && slot.length != 0) {
            if (first) firstSlot_ = &slot;
            return {slot.text, slot.length};
        }
        NumberText& text = scratch_[first ? 0 : 1];
        text.set(value);
        // A long text has no slot; nor has the second text when it would take the first one's.
        if (text.length > textCopyBytes || (!first && &slot == firstSlot_)) return text.ref();
        if (first) firstSlot_ = &slot;
        std::memcpy(slot.text, text.text, textCopyBytes);
        slot.length = static_cast<std::uint8_t>(text.length);
        slot.bits = bits;
        return {slot.text, slot.length};
    }

private:
    struct Slot {
        std::uint64_t bits = 0;
        char text[textCopyBytes] = {};
        std::uint8_t length = 0;  // 0: empty (no text is shorter than "0.0000")
    };
    std::vector<Slot> slots_;
    const Slot* firstSlot_ = nullptr;
    NumberText scratch_[2];
};

// The text of the last value asked for: the four corners of a floating plane
// share their elevation.
class LastText {
public:
    TextRef get(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        if (bits != bits_ || text_.length == 0) {
            text_.set(value);
            bits_ = bits;
        }
        return text_.ref();
    }

private:
    std::uint64_t bits_ = 0;
    NumberText text_;
};

inline char* putText(char* out, TextRef text) { return copyText(out, text); }
inline char* putText(char* out, const ShortText& text) { return text.put(out); }
inline char* putText(char* out, double value) {
    ShortText text;
    if (fixed4Short(value, text)) return text.put(out);
    return formatFixed4(value, out);
}

// Places a vertex's east and north texts and its elevation (a text, or a
// value already oriented, formatted in place) into their slots and writes the line.
template <class Elevation>
char* putVertex(char* out, const VertexLayout& layout, TextRef east, TextRef north, const Elevation& elevation) {
    out[0] = 'v';
    out += 1;
    for (std::uint8_t slot = 0; slot < 3; ++slot) {
        *out++ = ' ';
        if (slot == layout.elevationSlot)
            out = putText(out, elevation);
        else
            out = copyText(out, slot == layout.eastSlot ? east : north);
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace morvale
