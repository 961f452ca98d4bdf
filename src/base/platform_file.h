#pragma once
// The C library's file calls where platforms differ: opening by a path
// (wide names on Windows), positioning past 2 GiB (off_t on POSIX,
// _fseeki64 under MinGW and MSVC, whose fseek takes a 32-bit long), putting
// a finished file in place of another in one step, and the system's words
// for what went wrong.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace morvale {

// fopen of a path with `narrowMode`, or _wfopen with `wideMode` on Windows
// (the same mode, "rb" and L"rb"); null when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, const char* narrowMode, const wchar_t* wideMode);

// Moves to a byte offset from the file's start; false when the file is null,
// the offset negative or the seek fails.
bool seekTo(std::FILE* file, std::int64_t offset);

// Renames `from` to `to`, replacing a file of that name in one step (rename
// on POSIX, MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows): a reader
// of `to` sees the earlier file or the new one, never a mix. Both lie in one
// folder. Empty on success, else the system's error.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// The C library's last error (errno) as an error code, for a call that just failed.
std::error_code lastFileError();

// The system's sentence for `error` ("No space left on device"): strerror's
// text, or FormatMessage's for a Windows error, in UTF-8 without a line end.
std::string systemErrorText(const std::error_code& error);

}  // namespace morvale
