#include "base/output_file.h"

#include <cstring>

namespace morvale {
namespace {

// Large enough that the disk sees few, big writes.
constexpr std::size_t outputBufferBytes = std::size_t{1} << 20;
// Blocks this large go to the file as they are: copying them into the buffer
// first would cost more than the extra write call.
constexpr std::size_t directWriteBytes = std::size_t{64} << 10;

}  // namespace

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const std::filesystem::path& path) {
    close();
#ifdef _WIN32
    file_ = _wfopen(path.c_str(), L"wb");
#else
    file_ = std::fopen(path.c_str(), "wb");
#endif
    failed_ = false;
    used_ = 0;
    filePosition_ = 0;
    if (file_ == nullptr) return false;
    // This class buffers itself; a second copy in the C library would only cost time.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (buffer_.size() < outputBufferBytes) buffer_.resize(outputBufferBytes);
    return true;
}

void OutputFile::flush() {
    if (used_ == 0) return;
    if (file_ == nullptr || std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    filePosition_ += static_cast<std::int64_t>(used_);
    used_ = 0;
}

bool OutputFile::seek(std::int64_t offset) {
    if (file_ == nullptr || offset < 0) return false;
    flush();
#ifdef _WIN32
    const bool moved = _fseeki64(file_, offset, SEEK_SET) == 0;
#else
    const bool moved = fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    if (moved) filePosition_ = offset;
    return moved;
}

void OutputFile::write(std::string_view bytes) {
    if (bytes.size() > buffer_.size() - used_ || bytes.size() >= directWriteBytes) {
        flush();
        if (bytes.size() > buffer_.size() || bytes.size() >= directWriteBytes) {
            if (file_ == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
            filePosition_ += static_cast<std::int64_t>(bytes.size());
            return;
        }
    }
    if (bytes.empty()) return;  // an empty view may carry no pointer at all
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void OutputFile::writeText(std::string_view text) {
    for (std::size_t lineEnd = text.find('\n'); lineEnd != std::string_view::npos; lineEnd = text.find('\n')) {
        write(text.substr(0, lineEnd));
        write("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    write(text);
}

char* OutputFile::reserve(std::size_t bytes) {
    if (bytes > buffer_.size() - used_) {
        flush();
        if (bytes > buffer_.size()) buffer_.resize(bytes);
    }
    return buffer_.data() + used_;
}

void OutputFile::commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

bool OutputFile::close() {
    if (file_ == nullptr) return !failed_;
    flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace morvale
