#pragma once
// The rules between the OBJ text writers: how far past a text its writer may
// store, how many bytes a copy reads from its source, and so the room a line
// needs at its destination and the readable bytes a cached text keeps. The
// writers store and copy in fixed widths (a word, 16 or 32 bytes at once),
// which is much faster than by length, and each rule below says who stores
// or reads that far and who gives the room for it. The static_asserts tie
// the rules that depend on each other: changing one alone fails to compile.

#include <bit>
#include <cstddef>
#include <cstring>

#include "obj/fixed_format.h"

namespace morvale {

// Numbers are assembled in a register and stored a whole word at once, then
// the line goes on after their real length: the digit words of face lines
// (face_text.h), the parts of a short "%.4f" text (ShortText in
// fixed_format_inline.h), a normal's "d.dddd" (attribute_text.cpp). So up to
// a word minus one byte lands past a number.
inline constexpr std::size_t textWordBytes = 8;

// Face lines store their numbers as words and copy a shared normal's number
// a word wide: a face line may store this far past its end. The rooms of the
// face lines below carry it.
inline constexpr std::size_t faceLineSlack = 16;
static_assert(faceLineSlack >= textWordBytes);

// Texts up to this long are copied this many bytes wide (copyText: the
// numbers of a vertex line). Their sources keep that many readable bytes
// (FormattedText's array, the spare entries after a cache's last one), and a
// vertex line's room has them past its end, which also takes the word a
// short elevation stores there (ShortText).
inline constexpr std::size_t textCopyBytes = 32;
static_assert(textCopyBytes >= textWordBytes);

// Texts shorter than this (edge coordinates nearly always are) are copied
// this wide without a test (ShortRef, PlaneLines's edge texts, both numbers
// of a "vt" line). A power of two: ObjMeshWriter tests four lengths at once
// with one OR.
inline constexpr std::size_t shortTextBytes = 16;
static_assert(std::has_single_bit(shortTextBytes));
static_assert(shortTextBytes <= textCopyBytes);

// Texts up to this long get an entry in a column cache (text_caches.h;
// "%.4f" values below 10^11 in magnitude), which keeps them in that many
// bytes: a short text read from an entry stays inside it, a textCopyBytes
// copy runs on into the next entries (and the spare ones after the last).
inline constexpr std::size_t cachedTextBytes = 16;
static_assert(cachedTextBytes >= shortTextBytes, "a short text copied from an entry must stay inside it");

// The caches keep the texts of the last this many values asked for valid:
// a floating plane's corners take two texts from one cache (its west and
// east, its north and south) and use them together, and ObjMeshWriter's
// PlaneTexts keeps the last plane's for the next one.
inline constexpr int textsKeptValid = 2;

// Longest text of a 64-bit integer: "-9223372036854775808".
inline constexpr std::size_t integerMaxChars = 20;

// Copies a text of `length` bytes, `wide` bytes at once when it fits: the
// source has `wide` readable bytes and the destination room for them.
template <std::size_t wide>
inline char* copyWide(char* out, const char* text, std::size_t length) {
    if (length <= wide)
        std::memcpy(out, text, wide);
    else
        std::memcpy(out, text, length);
    return out + length;
}

// Room each kind of line needs at its destination, slack included.

// "v X Y Z": three "%.4f" numbers with their spaces, CR LF, the third copied textCopyBytes wide.
inline constexpr std::size_t vertexLineRoom = 1 + 3 * (1 + fixed4MaxChars) + 2 + textCopyBytes;
// "vt U V": a number copied shortTextBytes wide needs no more than the longest text.
inline constexpr std::size_t texCoordLineRoom = 3 + 2 * (1 + fixed6MaxChars) + 2;
static_assert(shortTextBytes <= fixed6MaxChars);
// "vn X Y Z": the last number may be a stored word.
inline constexpr std::size_t normalLineRoom = 2 + 3 * (1 + fixed4MaxChars) + 2 + textWordBytes;
// "f a b c [d]".
constexpr std::size_t faceLineRoom(int corners) {
    return 1 + static_cast<std::size_t>(corners) * (1 + integerMaxChars) + 2 + faceLineSlack;
}
// "f" and up to 4 corners naming "v/vt/vn".
inline constexpr std::size_t attributeFaceLineRoom = 1 + 4 * (1 + 3 * integerMaxChars + 2) + 2 + faceLineSlack;

}  // namespace morvale
