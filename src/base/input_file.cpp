#include "base/input_file.h"

#include <system_error>

namespace morvale {

FileHandle openForReading(const std::filesystem::path& path) {
    // Some C libraries open a folder for reading and only fail at the first read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    return FileHandle(openFile(path, "rb", L"rb"));
}

}  // namespace morvale
