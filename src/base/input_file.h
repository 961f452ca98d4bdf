#pragma once
// Opening files by std::filesystem::path on every platform (wide names on Windows).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace morvale {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file for reading in binary mode; null for a missing file,
// a folder or a file without read access.
FileHandle openForReading(const std::filesystem::path& path);

// Moves to a byte offset; false when the offset is negative or the seek fails.
bool seekTo(std::FILE* file, std::int64_t offset);

}  // namespace morvale
