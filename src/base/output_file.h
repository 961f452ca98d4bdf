#pragma once
// A buffered binary output file, written with explicit line ends.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "base/buffered_file.h"

namespace morvale {

// Buffered binary writer of one output file. Line ends are written as CR LF on every
// platform; write errors are remembered and reported by close().
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file. False when it cannot be created.
    bool open(const std::filesystem::path& path) { return file_.open(path, "wb", L"wb"); }
    // Writes text as it stands (callers put "\r\n" themselves).
    void write(std::string_view bytes) {
        if (!bytes.empty()) file_.write(bytes.data(), bytes.size());  // an empty view may carry no pointer at all
    }
    // Writes text turning every "\n" into CR LF.
    void writeText(std::string_view text);
    // Room for at least `bytes` more characters; commit() what was used.
    char* reserve(std::size_t bytes) { return file_.reserve(bytes); }
    void commit(char* end) { file_.commit(end); }
    // Flushes and closes; false when any write or the close failed.
    bool close() { return file_.close(); }
    bool isOpen() const { return file_.isOpen(); }
    bool failed() const { return file_.failed(); }
    // The system's reason for the first failure (BufferedFile::error).
    std::error_code error() const { return file_.error(); }

    // Where the next byte goes, counting what is still buffered.
    std::int64_t position() const { return file_.position(); }
    // Writes the buffer out and moves the write position; false when the
    // file cannot seek (a pipe, for example).
    bool seek(std::int64_t offset) { return file_.seek(offset); }

private:
    BufferedFile file_;
};

}  // namespace morvale
