// io_floor: the least any converter has to do. Reads the whole grid file and
// writes a file of the given size, both in large blocks, with no parsing or
// formatting in between.
//
// Usage: io_floor INPUT OUTPUT BYTES

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Usage: io_floor INPUT OUTPUT BYTES\n", stderr);
        return 2;
    }
    constexpr std::size_t blockBytes = std::size_t{8} << 20;
    std::vector<char> block(blockBytes);
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) return 3;
    std::setvbuf(in, nullptr, _IONBF, 0);
    unsigned long long checksum = 0;
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), in)) > 0;)
        checksum += static_cast<unsigned char>(block[got - 1]);
    std::fclose(in);

    // Text-like bytes, so the file is no easier to store than a real OBJ file.
    static const char line[] = "v 1234.5678 -2345.6789 345.6789\r\n";
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = line[i % (sizeof line - 1)];
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 4;
    std::setvbuf(out, nullptr, _IONBF, 0);
    unsigned long long left = std::strtoull(argv[3], nullptr, 10);
    while (left > 0) {
        const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        if (std::fwrite(block.data(), 1, n, out) != n) return 4;
        left -= n;
    }
    if (std::fclose(out) != 0) return 4;
    return checksum == 0xFFFFFFFFFFFFFFFFull ? 1 : 0;  // keeps the reads from being optimised away
}
