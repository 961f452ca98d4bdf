#pragma once
// Small helpers shared by the unit tests: scratch folders, files and the shared grids.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

// A check whose tool or device is missing: skipped on a developer's machine,
// a failure in CI (CI set), where the setup installs every tool. Returns from
// the test like GTEST_SKIP.
#define MORVALE_SKIP_UNLESS_CI(reason)                                                           \
    do {                                                                                         \
        if (std::getenv("CI") != nullptr) GTEST_FAIL() << reason << " (CI installs every tool)"; \
        GTEST_SKIP() << reason;                                                                  \
    } while (0)

namespace testing_support {

// A fresh folder under the system temp folder, removed when the object dies.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// An OBJ file without its fourth line, the minute the conversion started:
// two runs a minute boundary apart differ only there.
std::string withoutClock(const std::string& obj);

// A grid of ../shared/data/grids (read in place, never copied); the folder
// itself for an empty name. Throws (the test fails, naming the folder) when
// the folder or the grid is not there.
std::filesystem::path sharedGrid(std::string_view name);

}  // namespace testing_support
