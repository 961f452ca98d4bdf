#pragma once
// The UUIDs a 3MF gives its object, build item and build (the production
// extension asks for them), derived from what the file holds instead of drawn
// at random as lib3mf draws them: the same conversion writes the same bytes,
// and another content gets other UUIDs, as identifiers tracked across
// packages should.
//
// A 64-bit digest of the content (the writer feeds it the counts, the
// object's name and the geometry as handed to lib3mf) seeds splitmix64; each
// role takes two of its outputs and marks them as an RFC 9562 version 8 UUID,
// the version set aside for UUIDs of one's own derivation. A name-based
// version 5 UUID would need SHA-1 over the whole geometry, several times the
// cost of this digest (itself under 1% of writing the file: 0.04 s of 5.4 s
// for a 1500 x 1500 grid's solid, 160 MB of geometry).

#include <cstddef>
#include <cstdint>

namespace morvale {

// FNV-1a's step taken a 64-bit word at a time (read little-endian, the tail
// byte by byte): a digest starts at digestStart and goes on over each block.
// Each step is one-to-one in its word, so one changed word changes the digest.
inline constexpr std::uint64_t digestStart = 0xcbf29ce484222325ull;
std::uint64_t digestBytes(std::uint64_t digest, const void* bytes, std::size_t count);

enum class UuidRole : std::uint64_t { object = 1, buildItem = 2, build = 3 };

// "xxxxxxxx-xxxx-8xxx-Nxxx-xxxxxxxxxxxx" (N one of 8, 9, a, b), lowercase as
// the 3MF schema's pattern has it, and a terminator.
struct UuidText {
    char text[37];
};
UuidText contentUuid(std::uint64_t digest, UuidRole role);

}  // namespace morvale
