#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace morvale_fuzz {
namespace {

std::filesystem::path& folder() {
    static std::filesystem::path path;
    return path;
}

void removeFolder() {
    std::error_code ignored;
    if (!folder().empty()) std::filesystem::remove_all(folder(), ignored);
}

}  // namespace

const std::filesystem::path& scratchFolder() {
    if (folder().empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvale-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder() = pattern;
        std::atexit(removeFolder);
    }
    return folder();
}

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    // A new file each time: rewriting a truncated one makes some file systems
    // flush it to disk on close, which would cost more than the target itself.
    std::remove(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror("scratch file");
        std::abort();
    }
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", file, line, condition);
    std::abort();
}

}  // namespace morvale_fuzz
