#include "base/input_file.h"

#include <system_error>

namespace morvale {

FileHandle openForReading(const std::filesystem::path& path) {
    // Some C libraries open a folder for reading and only fail at the first read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
#ifdef _WIN32
    return FileHandle(_wfopen(path.c_str(), L"rb"));
#else
    return FileHandle(std::fopen(path.c_str(), "rb"));
#endif
}

bool seekTo(std::FILE* file, std::int64_t offset) {
    if (file == nullptr || offset < 0) return false;
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace morvale
