#pragma once
// The texts of numbers met before, so that a value a file repeats is
// formatted once: the columns of a grid (every row meets them again) and the
// last two values of a coordinate (a row shares its north value, a floating
// plane's corners take two). Each cache holds the texts of one formatter
// (`put`, whose texts are at most `maxChars` long), with the readable bytes
// past each text that text_room.h asks for.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "obj/text_room.h"

namespace morvale {

// A text and its length; textCopyBytes readable from `text` when it is not longer.
struct TextRef {
    const char* text;
    std::size_t length;
};

using PutNumber = char* (*)(double value, char* out);

// One number's text with the copying slack.
template <PutNumber put, std::size_t maxChars>
struct FormattedText {
    char text[maxChars + textCopyBytes] = {};
    std::size_t length = 0;

    void set(double value) { length = static_cast<std::size_t>(put(value, text) - text); }
    TextRef ref() const { return {text, length}; }
};

// The texts of values met before, kept in the order they first came: the
// vertices of a row come column by column, and every row meets the same
// columns again, so the entry after the last one asked for is nearly always
// the next one (a floating plane's corners also go back one or stay). Only
// when that guess fails is the value looked up by its bit pattern. Once full,
// values met later are formatted each time: a cycle through more columns than
// entries would evict every entry just before its turn. The texts of the
// last textsKeptValid values asked for stay valid.
template <PutNumber put, std::size_t maxChars>
class ColumnTextCache {
public:
    // 512 KiB of entries: the columns of wide windows, each formatted once.
    static constexpr std::size_t entryCount = std::size_t{1} << 14;
    static constexpr int indexBits = 15;

    // False when the entries do not fit in memory; get() needs them.
    bool allocate() {
        entries_.reset(new (std::nothrow) Entry[1 + entryCount + spareEntries]);
        index_.reset(new (std::nothrow) std::uint32_t[std::size_t{1} << indexBits]());
        used_ = last_ = 1;
        return entries_ && index_;
    }

    TextRef get(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        // The next column, the same one, the one before: no empty entry matches (length 0).
        if (holds(last_ + 1, bits)) return take(last_ + 1);
        if (holds(last_, bits)) return take(last_);
        if (holds(last_ - 1, bits)) return take(last_ - 1);
        std::uint32_t& slot = index_[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - indexBits))];
        if (holds(slot, bits)) return take(slot);
        static_assert(textsKeptValid == 2, "the scratch texts alternate");
        FormattedText<put, maxChars>& scratch = scratch_[nextScratch_];
        scratch.set(value);
        if (scratch.length > cachedTextBytes || used_ > entryCount) {
            nextScratch_ ^= 1;
            return scratch.ref();
        }
        Entry& entry = entries_[used_];
        std::memcpy(entry.text, scratch.text, cachedTextBytes);
        entry.length = static_cast<std::uint8_t>(scratch.length);
        entry.bits = bits;
        slot = static_cast<std::uint32_t>(used_);
        last_ = used_++;
        return {entry.text, entry.length};
    }

private:
    struct Entry {
        std::uint64_t bits = 0;
        char text[cachedTextBytes] = {};
        std::uint8_t length = 0;  // 0: empty (no text is shorter than "0.0000")
    };
    bool holds(std::size_t k, std::uint64_t bits) const { return entries_[k].bits == bits && entries_[k].length != 0; }
    TextRef take(std::size_t k) {
        last_ = k;
        return {entries_[k].text, entries_[k].length};
    }
    // A text is read textCopyBytes wide: past the last entry's, the spare
    // ones (which stay empty, so the guess one past the last entry finds nothing).
    static constexpr std::size_t spareEntries = textCopyBytes / sizeof(Entry) + 1;

    // Entry 0 stays empty: the guess before the first entry and an index
    // slot never set (0) find nothing there.
    std::unique_ptr<Entry[]> entries_;
    std::unique_ptr<std::uint32_t[]> index_;  // entries by their value's bits, the latest wins
    std::size_t used_ = 1;                    // the next entry to fill
    std::size_t last_ = 1;                    // the entry last asked for
    // Texts without an entry.
    FormattedText<put, maxChars> scratch_[textsKeptValid];
    int nextScratch_ = 0;
};

// The texts of the last two values asked for: the vertices of a row share
// their north value, the corners of a floating plane alternate between two.
// Any other value is formatted into the one not asked for last.
template <PutNumber put, std::size_t maxChars>
class RecentTextCache {
public:
    // The texts of the last textsKeptValid values asked for stay valid.
    TextRef get(double value) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        for (int k = 0; k < textsKeptValid; ++k) {
            if (bits == bits_[k] && text_[k].length != 0) {
                last_ = k;
                return text_[k].ref();
            }
        }
        static_assert(textsKeptValid == 2, "the texts alternate");
        const int k = last_ ^ 1;
        last_ = k;
        text_[k].set(value);
        bits_[k] = bits;
        return text_[k].ref();
    }

private:
    std::uint64_t bits_[textsKeptValid] = {};
    FormattedText<put, maxChars> text_[textsKeptValid];
    int last_ = 0;  // the text last asked for
};

}  // namespace morvale
