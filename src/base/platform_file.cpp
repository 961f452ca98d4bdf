#include "base/platform_file.h"

namespace morvale {

std::FILE* openFile(const std::filesystem::path& path, [[maybe_unused]] const char* narrowMode,
                    [[maybe_unused]] const wchar_t* wideMode) {
#ifdef _WIN32
    return _wfopen(path.c_str(), wideMode);
#else
    return std::fopen(path.c_str(), narrowMode);
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
