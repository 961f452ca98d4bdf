#pragma once
// Opening files for reading by std::filesystem::path on every platform (wide names on Windows).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/platform_file.h"

namespace morvale {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file for reading in binary mode; null for a missing file,
// a folder or a file without read access. seekTo (platform_file.h) positions it.
FileHandle openForReading(const std::filesystem::path& path);

}  // namespace morvale
