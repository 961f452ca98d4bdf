#pragma once
// The two containers of one glTF document and its binary buffer:
//  - binary glTF (.glb): a 12-byte header, the JSON chunk (a fixed room,
//    padded with spaces) and the BIN chunk, in one file;
//  - glTF (.gltf): the JSON text alone, its buffer in NAME.bin beside it,
//    which the buffer's "uri" names.
// The writer streams the buffer into its file from bufferStart() on and hands
// over the JSON when the stream ends. The document and the buffer are the
// same in both; only where they go differs.
//
// Either both files of a .gltf exist or neither: open() leaves nothing when
// one of them cannot be created, and close() writes the JSON whatever
// happened to the buffer (a cut buffer still has a document that describes
// it). A document without a buffer leaves no NAME.bin.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/mesh_file.h"

namespace morvale {

enum class GltfContainer : std::uint8_t {
    binary,    // .glb
    separate,  // .gltf + .bin
};

// The JSON of the longest document (every optional part, every number at its
// longest) takes under 1800 bytes, besides a .gltf buffer's uri.
constexpr std::size_t gltfJsonRoom = 2560;
// Where a .glb's buffer starts: header, JSON chunk header and room, BIN chunk header.
constexpr std::int64_t glbBufferStart = 12 + 8 + static_cast<std::int64_t>(gltfJsonRoom) + 8;

// NAME.bin beside NAME.gltf.
std::filesystem::path gltfBufferPath(const std::filesystem::path& gltfPath);

class GltfFiles {
public:
    GltfFiles() = default;
    ~GltfFiles();
    GltfFiles(const GltfFiles&) = delete;
    GltfFiles& operator=(const GltfFiles&) = delete;

    // Creates the file (or both files) at `path`, `buffer` the one the buffer
    // goes into; false, with nothing left, when it cannot. A .gltf's buffer
    // is written at `bufferPath` and its "uri" names `bufferName` (empty:
    // NAME.bin beside `path`, for both; a file written under a temporary
    // name refers to the buffer's final one).
    bool open(const std::filesystem::path& path, GltfContainer container, MeshFile& buffer,
              const std::filesystem::path& bufferPath = {}, const std::filesystem::path& bufferName = {});
    // The file offset of the buffer's first byte in its file.
    std::int64_t bufferStart() const { return container_ == GltfContainer::binary ? glbBufferStart : 0; }
    // The buffer's "uri", percent-encoded (empty for a .glb, whose buffer is its BIN chunk).
    const std::string& bufferUri() const { return uri_; }
    // The system's reason when the .gltf's own file failed (the buffer's is the MeshFile's).
    std::error_code error() const { return error_; }
    // Writes the document's `jsonBytes` of `json` and ends the buffer at
    // `bufferBytes` (negative: the document has no buffer). False when a
    // write failed or a .glb would reach 4 GiB.
    bool close(MeshFile& buffer, const char* json, std::size_t jsonBytes, std::int64_t bufferBytes);

private:
    GltfContainer container_ = GltfContainer::binary;
    std::FILE* json_ = nullptr;  // .gltf only
    std::filesystem::path bufferPath_;
    std::string uri_;
    std::error_code error_;
};

}  // namespace morvale
