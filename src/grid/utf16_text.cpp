#include "grid/utf16_text.h"

#include "base/input_file.h"

namespace morvale {

bool looksLikeUtf16(const unsigned char* bytes, std::size_t size) {
    if (size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) return true;
    constexpr std::size_t fewestPairs = 4;
    const std::size_t pairs = size / 2;
    if (pairs < fewestPairs) return false;
    std::size_t littleEndian = 0, bigEndian = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const unsigned char first = bytes[i], second = bytes[i + 1];
        if (first != 0 && first < 0x80 && second == 0) ++littleEndian;
        if (first == 0 && second != 0 && second < 0x80) ++bigEndian;
    }
    return 4 * littleEndian >= 3 * pairs || 4 * bigEndian >= 3 * pairs;
}

bool fileLooksLikeUtf16(const std::filesystem::path& path) {
    const FileHandle file = openForReading(path);
    if (!file) return false;
    unsigned char sample[utf16SampleBytes];
    const std::size_t got = std::fread(sample, 1, sizeof sample, file.get());
    return looksLikeUtf16(sample, got);
}

}  // namespace morvale
