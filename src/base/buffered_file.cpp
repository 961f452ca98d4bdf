#include "base/buffered_file.h"

#include "base/platform_file.h"

namespace morvale {

BufferedFile::~BufferedFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool BufferedFile::open(const std::filesystem::path& path, const char* narrowMode, const wchar_t* wideMode) {
    close();
    file_ = openFile(path, narrowMode, wideMode);
    failed_ = false;
    error_ = file_ == nullptr ? lastFileError() : std::error_code{};
    used_ = 0;
    filePosition_ = 0;
    if (file_ == nullptr) return false;
    // This class buffers itself; a second copy in the C library would only cost time.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (buffer_.size() < bufferBytes) buffer_.resize(bufferBytes);
    return true;
}

void BufferedFile::flush() {
    if (used_ == 0) return;
    if (file_ == nullptr || failed_)
        failed_ = true;
    else if (std::fwrite(buffer_.data(), 1, used_, file_) != used_)
        failedWrite();
    filePosition_ += static_cast<std::int64_t>(used_);
    used_ = 0;
}

void BufferedFile::writeOutside(const void* bytes, std::size_t count) {
    flush();
    if (count >= directBytes || count > buffer_.size()) {
        if (file_ == nullptr || failed_)
            failed_ = true;
        else if (std::fwrite(bytes, 1, count, file_) != count)
            failedWrite();
        filePosition_ += static_cast<std::int64_t>(count);
        return;
    }
    std::memcpy(buffer_.data(), bytes, count);
    used_ = count;
}

char* BufferedFile::reserve(std::size_t bytes) {
    if (bytes > buffer_.size() - used_) {
        flush();
        if (bytes > buffer_.size()) buffer_.resize(bytes);
    }
    return buffer_.data() + used_;
}

bool BufferedFile::seek(std::int64_t offset) {
    if (file_ == nullptr || offset < 0) return false;
    flush();
    if (!seekTo(file_, offset)) return false;
    filePosition_ = offset;
    return true;
}

bool BufferedFile::readBack(std::int64_t offset, void* bytes, std::size_t count) {
    const std::int64_t back = position();
    flush();
    if (failed_ || !seekTo(file_, offset)) return false;
    const bool read = std::fread(bytes, 1, count, file_) == count;
    if (!seek(back)) failed_ = true;
    return read;
}

void BufferedFile::failedWrite() { markFailed(lastFileError()); }

bool BufferedFile::close() {
    if (file_ == nullptr) return !failed_;
    flush();
    if (std::fclose(file_) != 0) failedWrite();
    file_ = nullptr;
    return !failed_;
}

}  // namespace morvale
