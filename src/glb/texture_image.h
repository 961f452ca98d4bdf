#pragma once
// Whether an image can be draped over a mesh: a PNG or a JPEG whose header
// gives its size, from its first bytes and its headers only (a JPEG's
// segments before its frame header are stepped over, not read). Whether the
// pixels decode is left to the viewer.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace morvale {

// The image's kind, from its signature.
enum class ImageKind : std::uint8_t { unknown, png, jpeg };
ImageKind sniffImage(const unsigned char* bytes, std::size_t count);

enum class ImageCheck : std::uint8_t {
    ok,
    missing,        // no file of that name
    unreadable,     // a folder, or a file that cannot be opened or read
    notPngOrJpeg,   // neither signature
    corruptHeader,  // a PNG without its IHDR size, a JPEG without a frame header and size
};

struct ImageHeader {
    ImageCheck check = ImageCheck::missing;
    ImageKind kind = ImageKind::unknown;
    std::uint32_t width = 0, height = 0;  // pixels, when ok
};

ImageHeader checkTextureImage(const std::filesystem::path& image);

// What is wrong, after the image's name: "is not a PNG or JPEG image" ("" for ok).
const char* imageCheckText(ImageCheck check);

}  // namespace morvale
