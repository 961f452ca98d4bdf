#pragma once
// Vertex lines assembled from texts formatted once. Every vertex of a window
// column has the same east value and every vertex of a row the same north
// value, so only the elevation needs formatting per vertex: the builders
// format each distinct east and north once and copy the texts into the lines.
// The bytes are those of formatVertexLine on applyAxisOrder's numbers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "obj/fixed_format.h"
#include "mesh/axis_order.h"
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

// The texts of a run of numbers (the east values of a window's columns),
// formatted a block at a time and kept in 32-byte slots: memory stays fixed
// for any window width, and a window up to a block wide formats each text
// once. A text too long for a slot (coordinates beyond 10^26) is formatted
// again each time it is asked for, into a scratch buffer that stays valid
// until the next call.
template <class Value>
class BlockTexts {
public:
    static constexpr std::int64_t blockTexts = 65536;

    // Throws std::bad_alloc when the block does not fit in memory.
    BlockTexts(std::int64_t count, Value value)
        : count_(count), value_(value), bytes_(static_cast<std::size_t>(blockTexts) * textCopyBytes + fixed4MaxChars),
          lengths_(static_cast<std::size_t>(blockTexts)) {}

    TextRef operator()(std::int64_t i) {
        if (static_cast<std::uint64_t>(i - start_) >= static_cast<std::uint64_t>(loaded_)) load(i);
        const std::size_t k = static_cast<std::size_t>(i - start_);
        if (lengths_[k] > textCopyBytes) {
            scratch_.set(value_(i));
            return scratch_.ref();
        }
        return {bytes_.data() + k * textCopyBytes, lengths_[k]};
    }

    // All the texts as one run of slots, text i at i * textCopyBytes, when
    // they fit one block and none is overlong; null otherwise. `lengths`
    // then points at their lengths.
    const char* whole(const std::uint16_t*& lengths) {
        if (count_ > blockTexts) return nullptr;
        if (start_ != 0 || loaded_ != count_) load(0);
        if (longest_ > textCopyBytes) return nullptr;
        lengths = lengths_.data();
        return bytes_.data();
    }

private:
    void load(std::int64_t i) {
        start_ = i;
        loaded_ = count_ - i < blockTexts ? count_ - i : blockTexts;
        longest_ = 0;
        for (std::int64_t k = 0; k < loaded_; ++k) {
            char* at = bytes_.data() + k * textCopyBytes;
            // The spare bytes after the last slot take an overlong text.
            const std::uint16_t length = static_cast<std::uint16_t>(putFixed4(value_(i + k), at) - at);
            lengths_[static_cast<std::size_t>(k)] = length;
            if (length > longest_) longest_ = length;
        }
    }

    std::int64_t count_;
    Value value_;
    std::vector<char> bytes_;
    std::vector<std::uint16_t> lengths_;
    std::int64_t start_ = 0;
    std::int64_t loaded_ = 0;
    std::uint16_t longest_ = 0;
    NumberText scratch_;
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
