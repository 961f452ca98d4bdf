#pragma once
// Helpers shared by the fuzz targets: a scratch folder per process, control
// bytes taken from the end of the input, the OBJ structure check and a hard
// failure that libFuzzer records as a crash.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "obj_shape.h"

namespace morvale_fuzz {

// A folder of this process under the system temp folder, removed at exit.
const std::filesystem::path& scratchFolder();

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);
std::string readBytes(const std::filesystem::path& path);

[[noreturn]] void fail(const char* file, int line, const char* condition);

// Settings knobs are read from the last bytes of the input, backwards, so that
// a plain grid file is a meaningful input on its own. Past the start every byte is 0.
class TailBytes {
public:
    TailBytes(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    std::uint8_t byte() { return left_ == 0 ? 0 : data_[--left_]; }
    // A number in [0, bound) for bound >= 1.
    std::uint32_t below(std::uint32_t bound) {
        std::uint32_t v = byte();
        v = (v << 8) | byte();
        return bound == 0 ? 0 : v % bound;
    }
    bool flag() { return (byte() & 1) != 0; }

private:
    const std::uint8_t* data_;
    std::size_t left_;
};

using testing_support::inspectObj;
using testing_support::ObjShape;

}  // namespace morvale_fuzz

#define FUZZ_CHECK(condition)                                                   \
    do {                                                                        \
        if (!(condition)) ::morvale_fuzz::fail(__FILE__, __LINE__, #condition); \
    } while (0)
