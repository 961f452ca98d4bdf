#include "glb/texture_image.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/platform_file.h"

namespace morvale {
namespace {

std::uint32_t bigEndian32(const unsigned char* b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}
std::uint32_t bigEndian16(const unsigned char* b) { return std::uint32_t{b[0]} << 8 | b[1]; }

// The signature (8), the IHDR chunk's length and type (8), its width and height.
bool readPngSize(const unsigned char* bytes, std::size_t count, ImageHeader& header) {
    if (count < 24 || bigEndian32(bytes + 8) != 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
    header.width = bigEndian32(bytes + 16);
    header.height = bigEndian32(bytes + 20);
    constexpr std::uint32_t largest = 0x7FFFFFFF;  // PNG's limit of either side
    return header.width > 0 && header.height > 0 && header.width <= largest && header.height <= largest;
}

bool isFrameHeader(unsigned char marker) {
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Steps from segment to segment after SOI until a frame header; stops at the
// scan, the end, or a segment that runs past the file. Reads a few bytes a segment.
bool readJpegSize(std::FILE* file, ImageHeader& header) {
    std::int64_t at = 2;
    for (int segments = 0; segments < 1024; ++segments) {
        unsigned char mark[4];
        if (!seekTo(file, at) || std::fread(mark, 1, 2, file) != 2 || mark[0] != 0xFF) return false;
        const unsigned char marker = mark[1];
        if (marker == 0xFF) {  // a fill byte before the marker
            at += 1;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return false;  // SOI again, EOI, the scan
        if (std::fread(mark + 2, 1, 2, file) != 2) return false;
        const std::uint32_t length = bigEndian16(mark + 2);
        if (length < 2) return false;
        if (isFrameHeader(marker)) {
            unsigned char frame[5];  // precision, height, width
            if (length < 2 + 6 || std::fread(frame, 1, sizeof frame, file) != sizeof frame) return false;
            header.height = bigEndian16(frame + 1);
            header.width = bigEndian16(frame + 3);
            return header.width > 0 && header.height > 0;
        }
        at += 2 + length;
    }
    return false;
}

}  // namespace

ImageKind sniffImage(const unsigned char* bytes, std::size_t count) {
    static constexpr unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (count >= sizeof png && std::memcmp(bytes, png, sizeof png) == 0) return ImageKind::png;
    if (count >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return ImageKind::jpeg;
    return ImageKind::unknown;
}

ImageHeader checkTextureImage(const std::filesystem::path& image) {
    ImageHeader header;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(image, error);
    if (!std::filesystem::exists(status)) return header;  // missing
    header.check = ImageCheck::unreadable;
    if (!std::filesystem::is_regular_file(status)) return header;
    std::FILE* file = openFile(image, "rb", L"rb");
    if (!file) return header;
    unsigned char bytes[24];
    const std::size_t count = std::fread(bytes, 1, sizeof bytes, file);
    if (std::ferror(file)) {
        std::fclose(file);
        return header;
    }
    header.kind = sniffImage(bytes, count);
    bool sized = false;
    if (header.kind == ImageKind::png) sized = readPngSize(bytes, count, header);
    if (header.kind == ImageKind::jpeg) sized = readJpegSize(file, header);
    std::fclose(file);
    header.check = header.kind == ImageKind::unknown ? ImageCheck::notPngOrJpeg
                   : sized                           ? ImageCheck::ok
                                                     : ImageCheck::corruptHeader;
    return header;
}

const char* imageCheckText(ImageCheck check) {
    switch (check) {
    case ImageCheck::ok: return "";
    case ImageCheck::missing: return "is missing";
    case ImageCheck::unreadable: return "is a folder or cannot be read";
    case ImageCheck::notPngOrJpeg: return "is not a PNG or JPEG image";
    case ImageCheck::corruptHeader: return "is a corrupt PNG or JPEG, whose header gives no image size";
    }
    return "";
}

}  // namespace morvale
