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
// holds a text of up to slotText bytes; a longer one is formatted each time
// into one of two scratch texts.
class CoordinateTexts {
public:
    static constexpr int slotBits = 14;
    // 512 KiB of slots: large enough for the columns of wide windows, small
    // enough to stay in the processor's caches. Texts up to slotText bytes
    // have a slot (coordinates below 10^11 in magnitude).
    static constexpr std::size_t slotText = 16;

    // Throws std::bad_alloc when the slots do not fit in memory.
    CoordinateTexts() : slots_((std::size_t{1} << slotBits) + spareSlots) {}

    // The text of `value`; the text asked for with `first` stays valid through
    // the next call (the two texts of one line).
    TextRef get(double value, bool first) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        Slot& slot = slotOf(bits);
        if (slot.bits == bits && slot.length != 0) {
            if (first) firstSlot_ = &slot;
            return {slot.text, slot.length};
        }
        NumberText& text = scratch_[first ? 0 : 1];
        text.set(value);
        // A long text has no slot; nor has the second text when it would take the first one's.
        if (text.length > slotText || (!first && &slot == firstSlot_)) return text.ref();
        if (first) firstSlot_ = &slot;
        std::memcpy(slot.text, text.text, slotText);
        slot.length = static_cast<std::uint8_t>(text.length);
        slot.bits = bits;
        return {slot.text, slot.length};
    }

    // Slots are spread over the table: fetching the one of a value a few
    // lines ahead keeps the table's memory from stalling every line.
    void prefetch(double value) const {
#if defined(__GNUC__)
        __builtin_prefetch(&slotOf(std::bit_cast<std::uint64_t>(value)));
#endif
    }

private:
    struct Slot {
        std::uint64_t bits = 0;
        char text[slotText] = {};
        std::uint8_t length = 0;  // 0: empty (no text is shorter than "0.0000")
    };
    // copyText reads textCopyBytes from a text: past the last slot's, the spare slots.
    static constexpr std::size_t spareSlots = textCopyBytes / sizeof(Slot) + 1;
    Slot& slotOf(std::uint64_t bits) {
        return slots_[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - slotBits))];
    }
    const Slot& slotOf(std::uint64_t bits) const {
        return slots_[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - slotBits))];
    }
    std::vector<Slot> slots_;
    const Slot* firstSlot_ = nullptr;
    NumberText scratch_[2];
};

// The texts of the last two values asked for, in front of the table: the
// vertices of a row share their north value, the corners of a floating plane
// alternate between two. Texts longer than a copy are not kept.
class RecentTexts {
public:
    TextRef get(double value, CoordinateTexts& table, bool first) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        for (int k = 0; k < 2; ++k)
            if (bits == bits_[k] && length_[k] != 0) return {text_[k], length_[k]};
        const TextRef text = table.get(value, first);
        if (text.length > textCopyBytes) return text;
        const int k = next_;
        next_ ^= 1;
        std::memcpy(text_[k], text.text, textCopyBytes);
        length_[k] = text.length;
        bits_[k] = bits;
        return {text_[k], length_[k]};
    }

private:
    std::uint64_t bits_[2] = {};
    std::size_t length_[2] = {};
    char text_[2][textCopyBytes];
    int next_ = 0;
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

// Places a vertex's east, north and elevation texts into the slots of the
// preset's axis order and writes the line.
inline char* putVertex(char* out, const VertexLayout& layout, TextRef east, TextRef north, TextRef elevation) {
    TextRef slots[3] = {east, north, elevation};
    slots[layout.eastSlot] = east;
    slots[layout.northSlot] = north;
    slots[layout.elevationSlot] = elevation;
    out[0] = 'v';
    out[1] = ' ';
    out = copyText(out + 2, slots[0]);
    *out++ = ' ';
    out = copyText(out, slots[1]);
    *out++ = ' ';
    out = copyText(out, slots[2]);
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace morvale
