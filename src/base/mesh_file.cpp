#include "base/mesh_file.h"

#include <system_error>

namespace morvale {

bool MeshFile::open(const std::filesystem::path& path) {
    path_ = path;
    const bool opened = file_.open(path, "w+b", L"w+b");
    if (!opened) file_.markFailed();
    return opened;
}

void MeshFile::writeU16(std::uint16_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    write(bytes, 2);
}

void MeshFile::writeZeros(std::size_t count) {
    static constexpr unsigned char zeros[64] = {};
    while (count > 0) {
        const std::size_t take = count < sizeof zeros ? count : sizeof zeros;
        write(zeros, take);
        count -= take;
    }
}

void MeshFile::patch(std::int64_t offset, const void* bytes, std::size_t count) {
    const std::int64_t back = position();
    seek(offset);
    write(bytes, count);
    seek(back);
}

bool MeshFile::close(std::int64_t length) {
    if (!file_.isOpen()) return false;
    if (!file_.close()) return false;
    if (length >= 0) {
        std::error_code error;
        std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(length), error);
        if (error) {
            file_.markFailed(error);
            return false;
        }
    }
    return true;
}

}  // namespace morvale
