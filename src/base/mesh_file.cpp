#include "base/mesh_file.h"

#include <cstring>
#include <system_error>

namespace morvale {

namespace {
constexpr std::size_t bufferBytes = std::size_t{1} << 20;
}

bool seekFile(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::FILE* openFile(const std::filesystem::path& path, [[maybe_unused]] const char* narrowMode,
                    [[maybe_unused]] const wchar_t* wideMode) {
#ifdef _WIN32
    return _wfopen(path.c_str(), wideMode);
#else
    return std::fopen(path.c_str(), narrowMode);
#endif
}

MeshFile::~MeshFile() {
    if (file_) std::fclose(file_);
}

bool MeshFile::open(const std::filesystem::path& path) {
    if (file_) close();
    file_ = openFile(path, "w+b", L"w+b");
    path_ = path;
    buffer_.resize(bufferBytes);
    used_ = 0;
    filePosition_ = 0;
    failed_ = file_ == nullptr;
    return file_ != nullptr;
}

void MeshFile::flush() {
    if (used_ == 0) return;
    if (file_ && !failed_ && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    filePosition_ += static_cast<std::int64_t>(used_);
    used_ = 0;
}

void MeshFile::writeAcross(const void* bytes, std::size_t count) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        if (used_ == buffer_.size()) flush();
        const std::size_t room = buffer_.size() - used_;
        const std::size_t take = count < room ? count : room;
        std::memcpy(buffer_.data() + used_, in, take);
        used_ += take;
        in += take;
        count -= take;
    }
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

void MeshFile::seek(std::int64_t offset) {
    flush();
    if (!file_ || failed_) return;
    if (!seekFile(file_, offset)) failed_ = true;
    filePosition_ = offset;
}

void MeshFile::patch(std::int64_t offset, const void* bytes, std::size_t count) {
    const std::int64_t back = position();
    seek(offset);
    write(bytes, count);
    seek(back);
}

bool MeshFile::readBack(std::int64_t offset, void* bytes, std::size_t count) {
    const std::int64_t back = position();
    flush();
    if (!file_ || failed_ || !seekFile(file_, offset)) return false;
    const bool read = std::fread(bytes, 1, count, file_) == count;
    seek(back);
    return read;
}

bool MeshFile::close(std::int64_t length) {
    if (!file_) return false;
    flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (length >= 0 && !failed_) {
        std::error_code error;
        std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(length), error);
        if (error) failed_ = true;
    }
    return !failed_;
}

}  // namespace morvale
