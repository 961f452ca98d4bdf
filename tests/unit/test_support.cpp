#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("morvale-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string withoutClock(const std::string& obj) {
    std::size_t at = 0;
    for (int line = 0; line < 3 && at != std::string::npos; ++line) {
        at = obj.find("\r\n", at);
        if (at != std::string::npos) at += 2;
    }
    if (at == std::string::npos) return obj;
    const std::size_t end = obj.find("\r\n", at);
    return end == std::string::npos ? obj : obj.substr(0, at) + obj.substr(end);
}

std::filesystem::path sharedGrid(std::string_view name) {
    // A test that reads the real grids fails when they are not there, saying
    // where it looked, rather than failing later on a file it cannot open.
    const std::filesystem::path folder = std::filesystem::path(MORVALE_SHARED_GRIDS).lexically_normal();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw std::runtime_error("the real grids are missing: this test reads them from " + folder.string() +
                                 ", so the shared folder must be at ../shared beside the checkout");
    const std::filesystem::path path = folder / std::string(name);
    if (!name.empty() && !std::filesystem::exists(path, error))
        throw std::runtime_error("the grid " + path.string() + " is missing from the shared folder");
    return path;
}

}  // namespace testing_support
