#pragma once
// The buffered writer under the output files (OutputFile for the OBJ and MTL
// texts, MeshFile for the binary meshes): small writes gather in a buffer of
// a megabyte, so the disk sees few, big writes; a large piece (a pipeline's
// chunk, an image block) goes to the file as it is, since copying it into the
// buffer first would cost a pass over every byte and the page cache gathers
// the writes anyway. The position counts what is still buffered. Write
// errors are remembered, with the system's reason, and reported by close();
// nothing throws.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace morvale {

class BufferedFile {
public:
    // Pieces from this size on skip the buffer.
    static constexpr std::size_t bufferBytes = std::size_t{1} << 20;
    static constexpr std::size_t directBytes = bufferBytes / 16;

    BufferedFile() = default;
    // Closes the file without writing what is still buffered (close() writes it).
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Creates or truncates the file with the C library's mode (`narrowMode`,
    // `wideMode` on Windows: "wb" or "w+b"). False when it cannot be created.
    bool open(const std::filesystem::path& path, const char* narrowMode, const wchar_t* wideMode);
    // Inline while the bytes fit the buffer: the glTF writer calls this per number.
    void write(const void* bytes, std::size_t count) {
        if (count > buffer_.size() - used_ || count >= directBytes) [[unlikely]] {
            writeOutside(bytes, count);
            return;
        }
        std::memcpy(buffer_.data() + used_, bytes, count);
        used_ += count;
    }
    // Room for at least `bytes` more bytes; commit() what was used.
    char* reserve(std::size_t bytes);
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
    // Where the next byte goes, counting what is still buffered.
    std::int64_t position() const { return filePosition_ + static_cast<std::int64_t>(used_); }
    // Writes the buffer out and moves the write position; false when the
    // file cannot seek (a pipe, for example).
    bool seek(std::int64_t offset);
    // Reads written bytes back (the file is open for reading too, "w+b") and
    // comes back to the write position; false on failure.
    bool readBack(std::int64_t offset, void* bytes, std::size_t count);
    // Flushes and closes; false when any write or the close failed.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    bool failed() const { return failed_; }
    // The system's reason for the first failure that had one (empty: none, or
    // none told, as for a seek the file does not support).
    std::error_code error() const { return error_; }
    // A failure of the caller's own (a seek it needed, a cut) that close() reports.
    void markFailed(std::error_code reason = {}) {
        failed_ = true;
        if (!error_) error_ = reason;
    }

private:
    void writeOutside(const void* bytes, std::size_t count);  // a large piece, or a full buffer
    void flush();
    void failedWrite();  // a C library write or close just failed
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::int64_t filePosition_ = 0;
    bool failed_ = false;
    std::error_code error_;
};

}  // namespace morvale
