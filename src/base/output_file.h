#pragma once
// A buffered binary output file, written with explicit line ends.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

namespace morvale {

// Buffered binary writer of one output file. Line ends are written as CR LF on every
// platform; write errors are remembered and reported by close().
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file. False when it cannot be created.
    bool open(const std::filesystem::path& path);
    // Writes text as it stands (callers put "\r\n" themselves).
    void write(std::string_view bytes);
    // Writes text turning every "\n" into CR LF.
    void writeText(std::string_view text);
    // Room for at least `bytes` more characters; commit() what was used.
    char* reserve(std::size_t bytes);
    void commit(char* end);
    // Flushes and closes; false when any write or the close failed.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    bool failed() const { return failed_; }

    // Where the next byte goes, counting what is still buffered.
    std::int64_t position() const { return filePosition_ + static_cast<std::int64_t>(used_); }
    // Writes the buffer out and moves the write position; false when the
    // file cannot seek (a pipe, for example).
    bool seek(std::int64_t offset);

private:
    void flush();
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::int64_t filePosition_ = 0;
    bool failed_ = false;
};

}  // namespace morvale
