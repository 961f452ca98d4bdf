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

// A text its caller found shorter than shortTextBytes (as edge texts
// nearly always are): copied by that fixed width without a test.
inline constexpr std::size_t shortTextBytes = 16;
static_assert(shortTextBytes <= textCopyBytes);
struct ShortRef {
    const char* text;
    std::size_t length;
};

// Room a vertex line needs at its destination, copying slack included.
inline constexpr std::size_t vertexLineRoom = 1 + 3 * (1 + fixed4MaxChars) + 2 + textCopyBytes;

// One number's text with the copying slack.
struct NumberText {
    char text[fixed4MaxChars + textCopyBytes] = {};
    std::size_t length = 0;

    void set(double value) { length = static_cast<std::size_t>(putFixed4(value, text) - text); }
    TextRef ref() const { return {text, length}; }
};

// The texts of east values met before, kept in the order they first came:
// the vertices of a row come column by column, and every row meets the same
// columns again, so the entry after the last one asked for is nearly always
// the next one (a floating plane's corners also go back one or stay). Only
// when that guess fails is the value looked up by its bit pattern. Once full,
// values met later are formatted each time: a cycle through more columns than
// entries would evict every entry just before its turn.
class ColumnTexts {
public:
    // 512 KiB of entries: the columns of wide windows, each formatted once.
    static constexpr std::size_t entryCount = std::size_t{1} << 14;
    static constexpr int indexBits = 15;
    // Texts up to entryText bytes have an entry (values below 10^11 in magnitude).
    static constexpr std::size_t entryText = 16;

    // Throws std::bad_alloc when the entries do not fit in memory.
    ColumnTexts() : entries_(1 + entryCount + spareEntries), index_(std::size_t{1} << indexBits, 0) {}

    TextRef get(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        // The next column, the same one, the one before: no empty entry matches (length 0).
        if (holds(last_ + 1, bits)) return take(last_ + 1);
        if (holds(last_, bits)) return take(last_);
        if (holds(last_ - 1, bits)) return take(last_ - 1);
        std::uint32_t& slot = index_[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - indexBits))];
        if (holds(slot, bits)) return take(slot);
        NumberText& scratch = scratch_[nextScratch_];
        scratch.set(value);
        if (scratch.length > entryText || used_ > entryCount) {
            nextScratch_ ^= 1;
            return scratch.ref();
        }
        Entry& entry = entries_[used_];
        std::memcpy(entry.text, scratch.text, entryText);
        entry.length = static_cast<std::uint8_t>(scratch.length);
        entry.bits = bits;
        slot = static_cast<std::uint32_t>(used_);
        last_ = used_++;
        return {entry.text, entry.length};
    }

private:
    struct Entry {
        std::uint64_t bits = 0;
        char text[entryText] = {};
        std::uint8_t length = 0;  // 0: empty (no text is shorter than "0.0000")
    };
    bool holds(std::size_t k, std::uint64_t bits) const { return entries_[k].bits == bits && entries_[k].length != 0; }
    TextRef take(std::size_t k) {
        last_ = k;
        return {entries_[k].text, entries_[k].length};
    }
    // copyText reads textCopyBytes from a text: past the last entry's, the spare ones
    // (which stay empty, so the guess one past the last entry finds nothing).
    static constexpr std::size_t spareEntries = textCopyBytes / sizeof(Entry) + 1;

    // Entry 0 stays empty: the guess before the first entry and an index
    // slot never set (0) find nothing there.
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> index_;  // entries by their value's bits, the latest wins
    std::size_t used_ = 1;              // the next entry to fill
    std::size_t last_ = 1;              // the entry last asked for
    // Texts without an entry; the last two asked for stay valid.
    NumberText scratch_[2];
    int nextScratch_ = 0;
};

// The texts of the last two values asked for: the vertices of a row share
// their north value, the corners of a floating plane alternate between two.
// Any other value is formatted into the one not asked for last.
class RecentTexts {
public:
    // The texts of the last two values asked for stay valid.
    TextRef get(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        for (int k = 0; k < 2; ++k) {
            if (bits == bits_[k] && text_[k].length != 0) {
                last_ = k;
                return text_[k].ref();
            }
        }
        const int k = last_ ^ 1;
        last_ = k;
        text_[k].set(value);
        bits_[k] = bits;
        return text_[k].ref();
    }

private:
    std::uint64_t bits_[2] = {};
    NumberText text_[2];
    int last_ = 0;  // the text last asked for
};

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
    switch (layout.eastSlot * 3 + layout.northSlot) {
    case 1: return putVertexIn<0, 1>(out, east, north, elevation);
    case 2: return putVertexIn<0, 2>(out, east, north, elevation);
    case 3: return putVertexIn<1, 0>(out, east, north, elevation);
    case 5: return putVertexIn<1, 2>(out, east, north, elevation);
    case 6: return putVertexIn<2, 0>(out, east, north, elevation);
    default: return putVertexIn<2, 1>(out, east, north, elevation);
    }
}

}  // namespace morvale
