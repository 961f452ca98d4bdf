#include "glb/gltf_container.h"

#include <cstring>
#include <limits>
#include <system_error>

#include "base/platform_file.h"

namespace morvale {
namespace {

constexpr std::uint32_t glbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t glbVersion = 2;
constexpr std::uint32_t jsonChunkType = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t binChunkType = 0x004E4942;   // "BIN\0"
constexpr std::int64_t headerBytes = 12;
constexpr std::int64_t chunkHeaderBytes = 8;
constexpr std::int64_t glbLengthLimit = std::numeric_limits<std::uint32_t>::max();

// A relative URI reference of one file name: every byte of its UTF-8 but the
// unreserved ones percent-encoded, which also leaves nothing to escape in JSON.
std::string uriOfName(const std::filesystem::path& name) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char8_t c : name.u8string()) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xF];
        }
    }
    return uri;
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

}  // namespace

std::filesystem::path gltfBufferPath(const std::filesystem::path& gltfPath) {
    std::filesystem::path path = gltfPath;
    return path.replace_extension(".bin");
}

GltfFiles::~GltfFiles() {
    if (json_) std::fclose(json_);
}

bool GltfFiles::open(const std::filesystem::path& path, GltfContainer container, MeshFile& buffer,
                     const std::filesystem::path& bufferPath, const std::filesystem::path& bufferName) {
    container_ = container;
    if (container == GltfContainer::binary) {
        if (!buffer.open(path)) return false;
        // Header, JSON chunk header and room, BIN chunk header: written again by close().
        buffer.writeZeros(static_cast<std::size_t>(headerBytes + chunkHeaderBytes));
        char spaces[256];
        std::memset(spaces, ' ', sizeof spaces);
        for (std::size_t left = gltfJsonRoom; left > 0; left -= left < sizeof spaces ? left : sizeof spaces)
            buffer.write(spaces, left < sizeof spaces ? left : sizeof spaces);
        buffer.writeZeros(static_cast<std::size_t>(chunkHeaderBytes));
        return true;
    }
    bufferPath_ = bufferPath.empty() ? gltfBufferPath(path) : bufferPath;
    uri_ = uriOfName(bufferName.empty() ? bufferPath_.filename() : bufferName);
    json_ = openFile(path, "wb", L"wb");
    if (!json_) {
        error_ = lastFileError();
        return false;
    }
    if (!buffer.open(bufferPath_)) {
        std::fclose(json_);
        json_ = nullptr;
        removeQuietly(path);
        return false;
    }
    return true;
}

bool GltfFiles::close(MeshFile& buffer, const char* json, std::size_t jsonBytes, std::int64_t bufferBytes) {
    const bool hasBuffer = bufferBytes >= 0;
    if (container_ == GltfContainer::separate) {
        bool written = json_ != nullptr && std::fwrite(json, 1, jsonBytes, json_) == jsonBytes;
        if (!written) error_ = lastFileError();
        if (json_ && std::fclose(json_) != 0) {
            if (written) error_ = lastFileError();
            written = false;
        }
        json_ = nullptr;
        written = buffer.close(hasBuffer ? bufferBytes : 0) && written;
        if (!hasBuffer) removeQuietly(bufferPath_);
        return written;
    }
    if (jsonBytes > gltfJsonRoom) {
        buffer.close();
        return false;
    }
    const std::int64_t fileBytes = hasBuffer ? glbBufferStart + bufferBytes : glbBufferStart - chunkHeaderBytes;
    unsigned char header[headerBytes + chunkHeaderBytes];
    storeU32(header, glbMagic);
    storeU32(header + 4, glbVersion);
    storeU32(header + 8, static_cast<std::uint32_t>(fileBytes));
    storeU32(header + 12, static_cast<std::uint32_t>(gltfJsonRoom));
    storeU32(header + 16, jsonChunkType);
    buffer.patch(0, header, sizeof header);
    buffer.patch(headerBytes + chunkHeaderBytes, json, jsonBytes);  // the room's spaces pad it
    if (hasBuffer) {
        unsigned char binHeader[chunkHeaderBytes];
        storeU32(binHeader, static_cast<std::uint32_t>(bufferBytes));
        storeU32(binHeader + 4, binChunkType);
        buffer.patch(glbBufferStart - chunkHeaderBytes, binHeader, sizeof binHeader);
    }
    return buffer.close(fileBytes) && fileBytes <= glbLengthLimit;
}

}  // namespace morvale
