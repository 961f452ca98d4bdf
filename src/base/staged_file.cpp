#include "base/staged_file.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "base/platform_file.h"
#include "base/splitmix.h"

namespace morvale {
namespace {

// Differs between processes whose ids meet (on two machines sharing a folder).
std::uint64_t processSeed() {
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= std::uint64_t{device()} << 32 | device();
    } catch (...) {  // no entropy source: the clock alone
    }
    return seed;
}

std::filesystem::path temporaryName(const std::filesystem::path& final) {
    static const std::uint64_t seed = processSeed();
    static std::atomic<std::uint64_t> counter{0};
    const std::uint64_t bits = splitmix64(seed, counter.fetch_add(1));
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%lld-%08x.tmp", static_cast<long long>(getpid()),
                  static_cast<unsigned>(bits & 0xFFFFFFFFu));
    std::filesystem::path name = final;
    name += suffix;
    return name;
}

// Opened for update, which truncates nothing.
bool mayWrite(const std::filesystem::path& path) {
    std::FILE* file = openFile(path, "r+b", L"r+b");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

}  // namespace

StagedFile stageFile(const std::filesystem::path& final) {
    StagedFile file{final, final};
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::symlink_status(final, error).type();
    const bool replaceable = type == std::filesystem::file_type::not_found ||
                             (type == std::filesystem::file_type::regular && mayWrite(final));
    if (replaceable) file.written = temporaryName(file.final);
    return file;
}

std::error_code commitStaged(const StagedFile& file) {
    if (!file.staged()) return {};
    std::error_code error;
    // Its writer found it was not needed (a glTF without a buffer has no NAME.bin): neither is the earlier one.
    if (!std::filesystem::exists(file.written, error) && !error) {
        std::filesystem::remove(file.final, error);
        return {};
    }
    error = replaceFile(file.written, file.final);
    if (error) discardStaged(file);
    return error;
}

void discardStaged(const StagedFile& file) {
    if (!file.staged()) return;
    std::error_code ignored;
    std::filesystem::remove(file.written, ignored);
}

}  // namespace morvale
