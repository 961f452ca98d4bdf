#include "base/platform_file.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

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

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return {};
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) return {};
    return lastFileError();
#endif
}

std::error_code lastFileError() {
    // A failing C library call that sets no errno still failed: say so rather than "Success".
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::string systemErrorText(const std::error_code& error) {
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        wchar_t wide[512];
        DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(error.value()), 0, wide, 512, nullptr);
        while (length > 0 && (wide[length - 1] == L'\r' || wide[length - 1] == L'\n' || wide[length - 1] == L'.'))
            --length;
        char text[1024];
        const int bytes = length == 0 ? 0
                                      : WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), text,
                                                            sizeof text, nullptr, nullptr);
        if (bytes > 0) return std::string(text, static_cast<std::size_t>(bytes));
        return "Windows error " + std::to_string(error.value());
    }
#endif
    return error.message();
}

}  // namespace morvale
