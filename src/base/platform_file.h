#pragma once
// The C library's file calls where platforms differ: opening by a path
// (wide names on Windows) and positioning past 2 GiB (off_t on POSIX,
// _fseeki64 under MinGW and MSVC, whose fseek takes a 32-bit long).

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace morvale {

// fopen of a path with `narrowMode`, or _wfopen with `wideMode` on Windows
// (the same mode, "rb" and L"rb"); null when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, const char* narrowMode, const wchar_t* wideMode);

// Moves to a byte offset from the file's start; false when the file is null,
// the offset negative or the seek fails.
bool seekTo(std::FILE* file, std::int64_t offset);

}  // namespace morvale
