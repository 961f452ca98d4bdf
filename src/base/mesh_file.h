#pragma once
// A buffered binary output file for the mesh writers: little-endian numbers,
// a patch of bytes already written (counts and lengths known only at the
// end), and a read-back of written bytes. Write errors are remembered and
// reported by close(); nothing throws.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "base/buffered_file.h"

namespace morvale {

// Little-endian encoding of the numbers, for files and for tests. Inline:
// the writers call them per corner, and on little-endian machines each is one move.
inline void storeU32(unsigned char* out, std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &value, 4);
    } else {
        out[0] = static_cast<unsigned char>(value);
        out[1] = static_cast<unsigned char>(value >> 8);
        out[2] = static_cast<unsigned char>(value >> 16);
        out[3] = static_cast<unsigned char>(value >> 24);
    }
}
inline void storeF32(unsigned char* out, float value) { storeU32(out, std::bit_cast<std::uint32_t>(value)); }
inline std::uint32_t loadU32(const unsigned char* in) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t value;
        std::memcpy(&value, in, 4);
        return value;
    } else {
        return std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 |
               std::uint32_t{in[3]} << 24;
    }
}
inline float loadF32(const unsigned char* in) { return std::bit_cast<float>(loadU32(in)); }

class MeshFile {
public:
    // Creates or truncates the file (read and write). False when it cannot be created.
    bool open(const std::filesystem::path& path);
    // Inline while the bytes fit the buffer: the glTF writer calls these per number.
    void write(const void* bytes, std::size_t count) { file_.write(bytes, count); }
    void writeU16(std::uint16_t value);
    void writeU32(std::uint32_t value) {
        unsigned char bytes[4];
        storeU32(bytes, value);
        write(bytes, 4);
    }
    void writeF32(float value) { writeU32(std::bit_cast<std::uint32_t>(value)); }
    void writeZeros(std::size_t count);
    // Where the next byte goes, counting what is still buffered.
    std::int64_t position() const { return file_.position(); }
    // Moves the write position (to cut what was written after it, say).
    void seek(std::int64_t offset) {
        if (!file_.seek(offset)) file_.markFailed();
    }
    // Overwrites bytes at `offset` (< position()) and comes back.
    void patch(std::int64_t offset, const void* bytes, std::size_t count);
    // Reads written bytes back; false on failure.
    bool readBack(std::int64_t offset, void* bytes, std::size_t count) { return file_.readBack(offset, bytes, count); }
    // Flushes and closes; false when any write, the close or the final cut failed.
    // `length` >= 0 cuts the file to that many bytes after closing.
    bool close(std::int64_t length = -1);
    bool failed() const { return file_.failed(); }
    // The system's reason for the first failure (BufferedFile::error).
    std::error_code error() const { return file_.error(); }

private:
    BufferedFile file_;
    std::filesystem::path path_;
};

}  // namespace morvale
